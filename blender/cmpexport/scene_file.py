# The model as Blender shows it, written as the binary glTF file that modelhost imports:
# every object and instance the viewport draws (scene_parts.py), its evaluated mesh
# (modifiers applied when asked) in world space and in metres, split into the triangles
# Blender itself draws, with their texture coordinates and materials, and vertices split
# where Blender's shading splits them; and every hardpoint, a mesh of faces as it is, an
# empty or a mesh without faces as the points that place it.
#
# The positions are baked into world space here rather than left to node transforms:
# glTF's nodes cannot hold the shear of a child turned inside a parent scaled unevenly,
# and a baked mesh is exactly what the viewport shows. Where an object's transform
# mirrors, Blender draws its faces the other way round, so each triangle's last two
# corners are swapped to face the way Blender shows it.
import json
import struct

import numpy

from . import scene_parts

# glTF's numbers: float, unsigned int; buffer view targets; the points primitive mode.
FLOAT = 5126
UNSIGNED_INT = 5125
ARRAY_BUFFER = 34962
ELEMENT_ARRAY_BUFFER = 34963
POINTS = 0


class SceneFile:
    """What write_scene wrote. `objects`: the names of the file's meshes in its order, one
    per object or instance with triangles and one per hardpoint (instances are named
    after the instanced object and their instancer, "Barrel_Turret", unique).
    `hardpoints_not_written`: the names of objects named as hardpoints that cannot mark
    one (cameras, lights and other kinds that are neither geometry nor an empty), which
    the file leaves out. `faceless`: the names of the meshes, curves, text and the like
    that have no faces to export (nor mark a hardpoint). `vertices`: how many vertices
    the geometry written (not the hardpoints) has in Blender; `file_vertices`: how many
    the file has of them, split where texture seams and shading part faces; `largest`:
    the name of the geometry with the most vertices in Blender."""

    def __init__(self, objects, hardpoints_not_written, faceless, geometry):
        self.objects = objects
        self.hardpoints_not_written = hardpoints_not_written
        self.faceless = faceless
        self.vertices = sum(part.vertices for part in geometry)
        self.file_vertices = sum(len(primitive.positions) for part in geometry
                                 for primitive in part.primitives)
        self.largest = max(geometry, key=lambda part: part.vertices).name if geometry else None


class _Binary:
    """The binary chunk and the views and accessors that point into it."""

    def __init__(self):
        self.data = bytearray()
        self.views = []
        self.accessors = []

    def add(self, values, component, kind, count, target, bounds=None):
        while len(self.data) % 4:
            self.data.append(0)
        # glTF is little-endian; so is every machine Blender runs on.
        raw = values.tobytes()
        self.views.append({"buffer": 0, "byteOffset": len(self.data), "byteLength": len(raw),
                           "target": target})
        self.data.extend(raw)
        accessor = {"bufferView": len(self.views) - 1, "componentType": component,
                    "count": count, "type": kind}
        if bounds is not None:
            accessor["min"], accessor["max"] = bounds
        self.accessors.append(accessor)
        return len(self.accessors) - 1


def _bounds(positions):
    """The positions' bounds, which glTF asks for; none when a value is not finite (JSON
    cannot hold it, and the plug-in refuses such a model with its own message)."""
    if not numpy.isfinite(positions).all():
        return None
    return ([float(value) for value in positions.min(axis=0)],
            [float(value) for value in positions.max(axis=0)])


def _parts(context, selected_only, apply_modifiers, visible_only):
    """The model's parts in the outliner's order (by name), the names of the objects
    named as hardpoints that cannot mark one, and those of the geometry without faces."""
    depsgraph = context.evaluated_depsgraph_get()
    unit = context.scene.unit_settings.scale_length
    parts, not_written, faceless = [], [], []
    for obj, world, name in scene_parts.shown_objects(context, depsgraph, selected_only,
                                                      visible_only, apply_modifiers):
        try:
            part = scene_parts.read_part(obj, world, name, unit)
        except TypeError:
            not_written.append(name)
            continue
        if part is not None:
            parts.append(part)
        elif obj.type in scene_parts.GEOMETRY_KINDS:
            faceless.append(name)
    parts.sort(key=lambda part: part.name)
    return parts, sorted(not_written), sorted(faceless)


def _mesh_entry(part, binary, materials, material_index):
    if part.points is not None:
        return {"name": part.name, "primitives": [{"attributes": {
            "POSITION": binary.add(part.points, FLOAT, "VEC3", len(part.points), ARRAY_BUFFER,
                                   _bounds(part.points))}, "mode": POINTS}]}
    entries = []
    for primitive in part.primitives:
        count = len(primitive.positions)
        entry = {"attributes": {
            "POSITION": binary.add(primitive.positions, FLOAT, "VEC3", count, ARRAY_BUFFER,
                                   _bounds(primitive.positions)),
            "TEXCOORD_0": binary.add(primitive.uvs, FLOAT, "VEC2", count, ARRAY_BUFFER)},
            "indices": binary.add(primitive.indices, UNSIGNED_INT, "SCALAR",
                                  len(primitive.indices), ELEMENT_ARRAY_BUFFER)}
        if primitive.material is not None:
            if primitive.material not in material_index:
                material_index[primitive.material] = len(materials)
                materials.append({"name": primitive.material})
            entry["material"] = material_index[primitive.material]
        entries.append(entry)
    return {"name": part.name, "primitives": entries}


def write_scene(context, path, selected_only=False, apply_modifiers=True, visible_only=False):
    """Writes the model to `path` as binary glTF; returns a SceneFile. `visible_only`
    leaves out what the viewport hides (hidden objects, those disabled in viewports, those
    of hidden collections)."""
    parts, not_written, faceless = _parts(context, selected_only, apply_modifiers,
                                          visible_only)
    binary = _Binary()
    nodes, meshes, materials = [], [], []
    material_index = {}
    for part in parts:
        meshes.append(_mesh_entry(part, binary, materials, material_index))
        nodes.append({"name": part.name, "mesh": len(meshes) - 1})

    document = {"asset": {"version": "2.0", "generator": "cmpexport for Blender"},
                "scene": 0, "scenes": [{"nodes": list(range(len(nodes)))}], "nodes": nodes,
                "meshes": meshes}
    if materials:
        document["materials"] = materials
    if binary.views:
        while len(binary.data) % 4:
            binary.data.append(0)
        document.update(buffers=[{"byteLength": len(binary.data)}], bufferViews=binary.views,
                        accessors=binary.accessors)
    text = json.dumps(document, separators=(",", ":"), allow_nan=False).encode("utf-8")
    text += b" " * (-len(text) % 4)
    chunks = struct.pack("<II", len(text), 0x4E4F534A) + text
    if binary.data:
        chunks += struct.pack("<II", len(binary.data), 0x004E4942) + bytes(binary.data)
    with open(path, "wb") as out:
        out.write(struct.pack("<4sII", b"glTF", 2, 12 + len(chunks)) + chunks)
    geometry = [part for part in parts if not scene_parts.is_hardpoint_name(part.name)]
    return SceneFile([part.name for part in parts], not_written, faceless, geometry)


def write_model_file(context, path, selected_only=False, apply_modifiers=True,
                     visible_only=False):
    """write_scene, giving only the names of the file's meshes in its order."""
    return write_scene(context, path, selected_only, apply_modifiers, visible_only).objects
