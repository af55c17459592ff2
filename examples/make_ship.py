#!/usr/bin/env python3
"""Writes the example ship "Kestrel" as ship.obj (+ ship.mtl) and ship.gltf.

Both files describe the same model: the same meshes in the same order, the same
vertices in the same order and the same triangles, so that importing either gives the
same host model. Every coordinate is a multiple of 1/8 and so exact in binary.
"""
import base64
import json
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent


def box(x0, x1, y0, y1, z0, z1, nose_scale=1.0):
    """Six quads of a box; the -z end is shrunk around its centre by nose_scale."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2

    def corner(x, y, z):
        if z == z0 and nose_scale != 1.0:
            x = cx + (x - cx) * nose_scale
            y = cy + (y - cy) * nose_scale
        return (x, y, z)

    faces = [
        [(x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)],  # back (+z)
        [(x1, y0, z0), (x0, y0, z0), (x0, y1, z0), (x1, y1, z0)],  # nose (-z)
        [(x0, y1, z1), (x1, y1, z1), (x1, y1, z0), (x0, y1, z0)],  # top
        [(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)],  # bottom
        [(x1, y0, z1), (x1, y0, z0), (x1, y1, z0), (x1, y1, z1)],  # right
        [(x0, y0, z0), (x0, y0, z1), (x0, y1, z1), (x0, y1, z0)],  # left
    ]
    uvs = [(0.0, 0.0), (1.0, 0.0), (1.0, 1.0), (0.0, 1.0)]
    return [[(corner(*p), uv) for p, uv in zip(face, uvs)] for face in faces]


def pyramid(cx, y0, cz, half, height):
    base = [(cx - half, y0, cz + half), (cx + half, y0, cz + half), (cx + half, y0, cz - half),
            (cx - half, y0, cz - half)]
    apex = ((cx, y0 + height, cz), (0.5, 1.0))
    faces = []
    for i in range(4):
        a, b = base[i], base[(i + 1) % 4]
        faces.append([(a, (0.0, 0.0)), (b, (1.0, 0.0)), apex])
    return faces


def marker(x, y, z, size=0.25):
    """A hardpoint: one small triangle facing +y, centred near (x, y, z)."""
    return [[((x - size, y, z + size), (0.0, 0.0)), ((x + size, y, z + size), (1.0, 0.0)),
             ((x, y, z - size), (0.5, 1.0))]]


MESHES = [
    ("Hull", "HullPlate", box(-4.0, 4.0, -2.0, 2.0, -20.0, 20.0, nose_scale=0.25)),
    ("Wings", "HullPlate", box(-14.0, 14.0, -0.375, 0.375, 0.0, 12.0)),
    ("Cockpit", "CockpitGlass", pyramid(0.0, 2.0, -6.0, 2.0, 1.5)),
    ("Hp_Fixed_HpEngine01", "Marker", marker(0.0, 0.0, 20.5)),
    ("Hp_Fixed_HpWeapon01", "Marker", marker(13.0, 0.5, 2.0)),
    ("Hp_Fixed_HpWeapon02", "Marker", marker(-13.0, 0.5, 2.0)),
    ("Hp_Revolute_Turret01", "Marker", marker(0.0, 2.125, 6.0)),
]

# OBJ keeps the last material for every later object, so the hardpoint markers carry
# a material of their own rather than inheriting the cockpit's.
MATERIALS = {"HullPlate": (0.55, 0.57, 0.6), "CockpitGlass": (0.2, 0.45, 0.8),
             "Marker": (1.0, 0.5, 0.0)}


def indexed(faces):
    """Vertices in first-use order (identical corners joined) and triangles, each
    polygon split as a fan from its first corner."""
    vertices, triangles, index = [], [], {}
    for face in faces:
        corners = []
        for corner in face:
            if corner not in index:
                index[corner] = len(vertices)
                vertices.append(corner)
            corners.append(index[corner])
        for i in range(1, len(corners) - 1):
            triangles.append((corners[0], corners[i], corners[i + 1]))
    return vertices, triangles


def number(value):
    return repr(float(value))


def write_obj():
    lines = ["# Kestrel, a small example ship: hull, wings, cockpit and hardpoints.",
             "mtllib ship.mtl"]
    base = 1
    for name, material, faces in MESHES:
        corners = [corner for face in faces for corner in face]
        lines.append(f"o {name}")
        lines.extend(f"v {number(x)} {number(y)} {number(z)}" for (x, y, z), _ in corners)
        lines.extend(f"vt {number(u)} {number(v)}" for _, (u, v) in corners)
        lines.append(f"usemtl {material}")
        for face in faces:
            refs = []
            for _ in face:
                refs.append(f"{base}/{base}")
                base += 1
            lines.append("f " + " ".join(refs))
    (HERE / "ship.obj").write_text("\n".join(lines) + "\n")

    mtl = ["# Materials of the Kestrel."]
    for name, (r, g, b) in MATERIALS.items():
        mtl += [f"newmtl {name}", f"Kd {r} {g} {b}", ""]
    (HERE / "ship.mtl").write_text("\n".join(mtl))


def write_gltf():
    buffer = bytearray()
    views, accessors, meshes, nodes = [], [], [], []
    material_names = list(MATERIALS)
    for name, material, faces in MESHES:
        vertices, triangles = indexed(faces)
        start = len(buffer)
        for (x, y, z), (u, v) in vertices:
            buffer += struct.pack("<3f", x, y, z)
        positions = len(views)
        views.append({"buffer": 0, "byteOffset": start, "byteLength": len(buffer) - start})
        start = len(buffer)
        for _, (u, v) in vertices:
            # glTF puts the texture origin top left, OBJ bottom left.
            buffer += struct.pack("<2f", u, 1.0 - v)
        uvs = len(views)
        views.append({"buffer": 0, "byteOffset": start, "byteLength": len(buffer) - start})
        start = len(buffer)
        for triangle in triangles:
            buffer += struct.pack("<3H", *triangle)
        while len(buffer) % 4:
            buffer += b"\0"
        indices = len(views)
        views.append({"buffer": 0, "byteOffset": start, "byteLength": 6 * len(triangles)})
        xs = [p for p, _ in vertices]
        accessors.append({"bufferView": positions, "componentType": 5126, "count": len(vertices),
                          "type": "VEC3", "min": [min(c) for c in zip(*xs)],
                          "max": [max(c) for c in zip(*xs)]})
        accessors.append({"bufferView": uvs, "componentType": 5126, "count": len(vertices),
                          "type": "VEC2"})
        accessors.append({"bufferView": indices, "componentType": 5123,
                          "count": 3 * len(triangles), "type": "SCALAR"})
        primitive = {"attributes": {"POSITION": len(accessors) - 3,
                                    "TEXCOORD_0": len(accessors) - 2},
                     "indices": len(accessors) - 1, "mode": 4}
        primitive["material"] = material_names.index(material)
        meshes.append({"name": name, "primitives": [primitive]})
        nodes.append({"name": name, "mesh": len(meshes) - 1})
    document = {
        "asset": {"version": "2.0", "generator": "examples/make_ship.py"},
        "scene": 0,
        "scenes": [{"name": "Kestrel", "nodes": list(range(len(nodes)))}],
        "nodes": nodes,
        "meshes": meshes,
        "materials": [{"name": n, "pbrMetallicRoughness": {"baseColorFactor": [*c, 1.0]}}
                      for n, c in MATERIALS.items()],
        "accessors": accessors,
        "bufferViews": views,
        "buffers": [{"byteLength": len(buffer),
                     "uri": "data:application/octet-stream;base64," +
                            base64.b64encode(bytes(buffer)).decode()}],
    }
    (HERE / "ship.gltf").write_text(json.dumps(document, indent=1) + "\n")


if __name__ == "__main__":
    write_obj()
    write_gltf()
