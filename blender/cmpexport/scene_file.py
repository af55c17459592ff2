# The model as Blender shows it, written as the binary glTF file that modelhost imports:
# every object's evaluated mesh (modifiers applied when asked), in world space, split into
# the triangles Blender itself draws, with their texture coordinates and materials.
#
# The positions are baked into world space here rather than left to node transforms:
# glTF's nodes cannot hold the shear of a child turned inside a parent scaled unevenly,
# and a baked mesh is exactly what the viewport shows. Where an object's transform
# mirrors, Blender draws its faces the other way round, so each triangle's last two
# corners are swapped to face the way Blender shows it.
import json
import math
import struct
from array import array

# glTF's numbers: float, unsigned int; buffer view targets.
FLOAT = 5126
UNSIGNED_INT = 5125
ARRAY_BUFFER = 34962
ELEMENT_ARRAY_BUFFER = 34963


def model_objects(context, selected_only):
    """The objects that make the model, in the outliner's order (by name)."""
    candidates = context.selected_objects if selected_only else context.view_layer.objects
    kinds = {"MESH", "CURVE", "SURFACE", "META", "FONT"}
    return sorted((o for o in candidates if o.type in kinds), key=lambda o: o.name)


class _Primitive:
    """The triangles of one object that share a material, with their own vertices."""

    def __init__(self, material):
        self.material = material
        self.positions = array("f")
        self.uvs = array("f")
        self.indices = array("I")
        self.vertex_of = {}

    def corner(self, key, position, uv):
        index = self.vertex_of.get(key)
        if index is None:
            index = len(self.positions) // 3
            self.vertex_of[key] = index
            self.positions.extend(position)
            self.uvs.extend(uv)
        self.indices.append(index)


def _object_primitives(obj, depsgraph, apply_modifiers):
    source = obj.evaluated_get(depsgraph) if apply_modifiers else obj
    mesh = source.to_mesh()
    try:
        if mesh is None:
            return []
        mesh.calc_loop_triangles()
        world = source.matrix_world
        mirrored = world.to_3x3().determinant() < 0
        uv_layer = mesh.uv_layers.active
        slots = obj.material_slots
        primitives = {}
        for triangle in mesh.loop_triangles:
            slot = triangle.material_index
            material = None
            if slot < len(slots) and slots[slot].material is not None:
                material = slots[slot].material.name
            primitive = primitives.get(material)
            if primitive is None:
                primitive = primitives[material] = _Primitive(material)
            loops = list(triangle.loops)
            vertices = list(triangle.vertices)
            order = (0, 2, 1) if mirrored else (0, 1, 2)
            for c in order:
                x, y, z = world @ mesh.vertices[vertices[c]].co
                u, v = uv_layer.data[loops[c]].uv if uv_layer is not None else (0.0, 0.0)
                # Y up, as Blender's own exporters write it; glTF counts v from the top.
                primitive.corner((vertices[c], u, v), (x, z, -y), (u, 1.0 - v))
        return [p for _, p in sorted(primitives.items(), key=lambda item: item[0] or "")]
    finally:
        source.to_mesh_clear()


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
    if not all(math.isfinite(value) for value in positions):
        return None
    low = [min(positions[axis::3]) for axis in range(3)]
    high = [max(positions[axis::3]) for axis in range(3)]
    return low, high


def write_model_file(context, path, selected_only=False, apply_modifiers=True):
    """Writes the model to `path` as binary glTF; returns the names of the objects
    written (those with at least one triangle), in the file's order."""
    depsgraph = context.evaluated_depsgraph_get()
    binary = _Binary()
    nodes, meshes, materials, written = [], [], [], []
    material_index = {}
    for obj in model_objects(context, selected_only):
        primitives = _object_primitives(obj, depsgraph, apply_modifiers)
        if not primitives:
            continue
        entries = []
        for primitive in primitives:
            count = len(primitive.positions) // 3
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
        meshes.append({"name": obj.name, "primitives": entries})
        nodes.append({"name": obj.name, "mesh": len(meshes) - 1})
        written.append(obj.name)

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
    return written
