# The parts of the model as Blender shows them, read into arrays: every object and every
# instance the viewport draws (collection instances, Geometry Nodes instances), each in
# world space and in metres, split into the triangles Blender draws with its vertices
# shared only where Blender shades them alike; and every hardpoint a modeller marks,
# whether by a mesh of faces, a mesh of a point or two, or an empty.
#
# Meshes are read with foreach_get into numpy arrays and every step after that works on
# whole arrays: a Python loop per corner would make the export slower than the modeller's
# patience on a scene of tens of thousands of triangles.
import numpy

GEOMETRY_KINDS = {"MESH", "CURVE", "SURFACE", "META", "FONT"}


def is_hardpoint_name(name):
    """The plug-in's own rule: the name begins with "hp" in any ASCII letter case."""
    return name[:2] in ("hp", "hP", "Hp", "HP")


class Primitive:
    """The triangles of one part that share a material, with their own vertices: positions
    (n x 3, float32, Y up), texture coordinates (n x 2, float32, v from the top) and three
    indices per triangle (uint32)."""

    def __init__(self, material, positions, uvs, indices):
        self.material = material
        self.positions = positions
        self.uvs = uvs
        self.indices = indices


class Part:
    """One mesh of the model file: its primitives, or for a hardpoint marked without faces
    the points that place it (n x 3, float32, Y up). `vertices`: how many vertices its
    mesh has in Blender, as Blender's statistics count them."""

    def __init__(self, name, primitives=(), points=None, vertices=0):
        self.name = name
        self.primitives = list(primitives)
        self.points = points
        self.vertices = vertices


class _Names:
    """Names for instances that no object has and no other instance takes: the instanced
    object's name and its instancer's, then _2, _3, ... where that is taken."""

    def __init__(self, taken):
        self.taken = set(taken)

    def take(self, base):
        name, count = base, 1
        while name in self.taken:
            count += 1
            name = "%s_%d" % (base, count)
        self.taken.add(name)
        return name


# What an instancer makes without a modifier: a collection, or copies on its vertices or
# faces. Anything else (Geometry Nodes) is a modifier's work.
_INSTANCING_WITHOUT_MODIFIERS = {"COLLECTION", "VERTS", "FACES"}


def _wanted(original, view_layer, selected_only, visible_only):
    # The depsgraph may still hold what a hidden collection holds: visibility is asked of
    # the object itself.
    return ((not selected_only or original.select_get(view_layer=view_layer))
            and (not visible_only or original.visible_get(view_layer=view_layer)))


def shown_objects(context, depsgraph, selected_only, visible_only, apply_modifiers):
    """(object to read, world matrix, name) for every object and instance of the model.

    What the viewport shows is the depsgraph's instances, each with its own world matrix:
    the objects, and what collection instances and Geometry Nodes make (the objects a
    hidden or excluded collection lends an instancer included). Objects hidden in the
    viewport are taken as well unless `visible_only`. Without `apply_modifiers` only meshes
    come as they are stored: curves, surfaces, text and metaballs have no geometry but the
    one Blender evaluates, and come as it shows them. Instances count as selected when
    their instancer is. Must be used while iterating: an instance's object lives only
    until the next one."""
    view_layer = context.view_layer
    names = _Names(o.name for o in context.blend_data.objects)
    shown = set()
    for instance in depsgraph.object_instances:
        obj = instance.object
        if not instance.is_instance:
            original = obj.original
            shown.add(original.name)
            # An instancer of copies on its vertices or faces shows only the copies.
            if not instance.show_self or not _wanted(original, view_layer, selected_only,
                                                     visible_only):
                continue
            yield (obj if apply_modifiers or original.type != "MESH" else original), \
                instance.matrix_world.copy(), original.name
            continue
        instancer = instance.parent.original
        if not _wanted(instancer, view_layer, selected_only, visible_only):
            continue
        if not apply_modifiers and instancer.instance_type not in _INSTANCING_WITHOUT_MODIFIERS:
            continue
        original = obj.original
        # Geometry Nodes' own geometry comes as a copy of the instancer itself.
        own = original == instancer
        base = instancer.name + "_instance" if own else original.name + "_" + instancer.name
        source = obj if apply_modifiers or own else original
        yield source, instance.matrix_world.copy(), names.take(base)
    if visible_only:
        return
    for original in view_layer.objects:
        if original.name in shown or not _wanted(original, view_layer, selected_only, False):
            continue
        source = original.evaluated_get(depsgraph) \
            if apply_modifiers or original.type != "MESH" else original
        yield source, source.matrix_world.copy(), original.name


def _world_positions(world, co, unit):
    """Each vertex in world space as Blender's own `world @ co` gives it, bit for bit
    (products in single precision, their sum in double, rounded once), then as the model
    file holds it: Y up (x, z, -y), times the scene's unit scale, in metres."""
    matrix = numpy.array(world, dtype=numpy.float32)
    world_co = numpy.empty_like(co)
    for row in range(3):
        total = (matrix[row, 0] * co[:, 0]).astype(numpy.float64)
        total += matrix[row, 1] * co[:, 1]
        total += matrix[row, 2] * co[:, 2]
        total += matrix[row, 3]
        world_co[:, row] = total
    if unit != 1.0:
        world_co = (world_co.astype(numpy.float64) * unit).astype(numpy.float32)
    return numpy.stack((world_co[:, 0], world_co[:, 2], -world_co[:, 1]), axis=1)


def _read(collection, attribute, count, width, dtype):
    values = numpy.empty(count * width, dtype=dtype)
    collection.foreach_get(attribute, values)
    return values.reshape(count, width) if width > 1 else values


def _render_uv_layer(mesh):
    """The UV map Blender renders with, which need not be the one the editor shows."""
    for layer in mesh.uv_layers:
        if layer.active_render:
            return layer
    return mesh.uv_layers.active


def _material_names(obj, triangle_slots):
    """The material name of each slot that triangles use; None where a slot is empty or
    missing."""
    slots = obj.material_slots
    count = max(len(slots), int(triangle_slots.max()) + 1 if len(triangle_slots) else 0)
    names = []
    for slot in range(count):
        material = slots[slot].material if slot < len(slots) else None
        names.append(material.name if material is not None else None)
    return names


def _primitives(obj, mesh, world, unit):
    """The mesh's triangles grouped by material (by name), vertices shared only by corners
    alike in vertex, texture coordinates and Blender's own corner normal (flat faces,
    sharp edges, auto smooth and custom normals all show there), so that the normals the
    plug-in makes from the faces round each vertex shade as Blender does."""
    mesh.calc_loop_triangles()
    mesh.calc_normals_split()
    triangles = len(mesh.loop_triangles)
    corner_loops = _read(mesh.loop_triangles, "loops", triangles, 3, numpy.int32)
    triangle_slots = _read(mesh.loop_triangles, "material_index", triangles, 1, numpy.int32)
    loops = len(mesh.loops)
    loop_vertex = _read(mesh.loops, "vertex_index", loops, 1, numpy.int32)
    # -0.0 and 0.0 are one key, as they shade alike.
    loop_normal = _read(mesh.loops, "normal", loops, 3, numpy.float32) + numpy.float32(0)
    uv_layer = _render_uv_layer(mesh)
    if uv_layer is not None:
        loop_uv = _read(uv_layer.data, "uv", loops, 2, numpy.float32)
    else:
        loop_uv = numpy.zeros((loops, 2), dtype=numpy.float32)
    co = _read(mesh.vertices, "co", len(mesh.vertices), 3, numpy.float32)
    positions = _world_positions(world, co, unit)
    # Where the transform mirrors, Blender draws each face the other way round.
    if world.to_3x3().determinant() < 0:
        corner_loops = corner_loops[:, (0, 2, 1)]

    uv_key = loop_uv + numpy.float32(0)
    names = _material_names(obj, triangle_slots)
    by_name = {}
    for slot, name in enumerate(names):
        by_name.setdefault(name, []).append(slot)
    primitives = []
    for name in sorted(by_name, key=lambda n: n or ""):
        chosen = corner_loops[numpy.isin(triangle_slots, by_name[name])].reshape(-1)
        if len(chosen) == 0:
            continue
        primitives.append(_shared_vertices(name, chosen, loop_vertex, uv_key, loop_normal,
                                           loop_uv, positions))
    return primitives


def _shared_vertices(material, corners, loop_vertex, uv_key, loop_normal, loop_uv, positions):
    """One primitive of the given corners (loop indices, three per triangle): a vertex per
    distinct (vertex, texture coordinates, corner normal), numbered in the order corners
    first use them."""
    key = numpy.empty((len(corners), 6), dtype=numpy.uint32)
    key[:, 0] = loop_vertex[corners]
    key[:, 1:3] = uv_key[corners].view(numpy.uint32)
    key[:, 3:6] = loop_normal[corners].view(numpy.uint32)
    rows = numpy.ascontiguousarray(key).view(numpy.dtype((numpy.void, 24))).reshape(-1)
    _, first, inverse = numpy.unique(rows, return_index=True, return_inverse=True)
    order = numpy.argsort(first, kind="stable")
    rank = numpy.empty(len(order), dtype=numpy.uint32)
    rank[order] = numpy.arange(len(order), dtype=numpy.uint32)
    first_corners = corners[first[order]]
    uv = loop_uv[first_corners]
    # glTF counts v from the top.
    uvs = numpy.stack((uv[:, 0], (1.0 - uv[:, 1].astype(numpy.float64)).astype(numpy.float32)),
                      axis=1)
    return Primitive(material, numpy.ascontiguousarray(positions[loop_vertex[first_corners]]),
                     uvs, rank[inverse.reshape(-1)])


def _placing_points(mesh, world, unit):
    """Where a hardpoint marked without faces is: its vertices when it has one or two (the
    plug-in takes their mean), their centre when it has more, its origin when none."""
    co = _read(mesh.vertices, "co", len(mesh.vertices), 3, numpy.float32)
    if len(co) == 0:
        co = numpy.zeros((1, 3), dtype=numpy.float32)
    positions = _world_positions(world, co, unit)
    if len(positions) > 2:
        positions = positions.astype(numpy.float64).mean(axis=0, keepdims=True)
    return numpy.ascontiguousarray(positions, dtype=numpy.float32)


def read_part(obj, world, name, unit):
    """The part that `obj` makes, placed by `world`; None for one the model does without
    (neither geometry with faces nor a hardpoint). Raises TypeError for an object named as
    a hardpoint that cannot mark one (a camera, a light, ...)."""
    hardpoint = is_hardpoint_name(name)
    if obj.type == "EMPTY":
        if not hardpoint:
            return None
        return Part(name, points=_world_positions(world, numpy.zeros((1, 3), numpy.float32), unit))
    if obj.type not in GEOMETRY_KINDS:
        if hardpoint:
            raise TypeError("%s cannot mark a hardpoint" % obj.type.lower())
        return None
    mesh = obj.to_mesh()
    try:
        if mesh is None:
            return None
        primitives = _primitives(obj, mesh, world, unit)
        if primitives:
            return Part(name, primitives, vertices=len(mesh.vertices))
        return Part(name, points=_placing_points(mesh, world, unit)) if hardpoint else None
    finally:
        obj.to_mesh_clear()
