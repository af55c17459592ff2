# Runs inside Blender: builds scenes the way modellers build ships, exports each with
# Blender's default settings as glTF (.glb), FBX, OBJ and Collada, and records what
# Blender itself holds, so that the tests can check what modelhost makes of each file.
#
#   blender --background --factory-startup --python-exit-code 1 \
#       --python make_scenes.py -- OUT_FOLDER SCENE...
#
# SCENE is "ship" (a fixed scene) or "random:N" (a scene drawn from seed N). Each scene
# gets OUT_FOLDER/NAME.{glb,fbx,obj,dae,json}. The JSON holds every triangle of every
# object in world space (Blender's axes, Z up), its corners in the order in which Blender
# shows the face turned towards the viewer, each corner's texture coordinates, and the
# face's material; hardpoint objects also give their centre.
import json
import math
import random
import sys

# Blender 3.4's glTF add-on still uses numpy.bool, which numpy 1.24 removed. The alias
# must exist before the add-on's export code is imported.
import numpy

if "bool" not in vars(numpy):
    numpy.bool = bool

import bmesh
import bpy
from mathutils import Matrix, Vector

FORMATS = ("glb", "fbx", "obj", "dae")


def clear_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def material(name):
    found = bpy.data.materials.get(name)
    return found if found is not None else bpy.data.materials.new(name)


def add_primitive(kind, name, location=(0, 0, 0), rotation=(0, 0, 0), scale=(1, 1, 1),
                  shape=(1, 1, 1)):
    """`shape` stretches the mesh itself, `scale` is the object's. A part that others are
    parented to keeps a scale of one size on every axis (signs aside): a parent scaled
    unevenly and a child turned against it make a shear, which glTF and FBX cannot carry
    and Blender's exporters leave out, whatever the importer does."""
    adders = {
        "cube": lambda: bpy.ops.mesh.primitive_cube_add(size=2),
        "cylinder": lambda: bpy.ops.mesh.primitive_cylinder_add(vertices=12),
        "cone": lambda: bpy.ops.mesh.primitive_cone_add(vertices=10),
        "uv_sphere": lambda: bpy.ops.mesh.primitive_uv_sphere_add(segments=12, ring_count=6),
        "ico_sphere": lambda: bpy.ops.mesh.primitive_ico_sphere_add(subdivisions=1),
        "plane": lambda: bpy.ops.mesh.primitive_plane_add(size=2),
        "torus": lambda: bpy.ops.mesh.primitive_torus_add(major_segments=12, minor_segments=6),
    }
    adders[kind]()
    obj = bpy.context.active_object
    obj.name = name
    obj.data.name = name + "Mesh"
    for vertex in obj.data.vertices:
        vertex.co = Vector(c * f for c, f in zip(vertex.co, shape))
    obj.location = location
    obj.rotation_euler = rotation
    obj.scale = scale
    return obj


def add_hardpoint(name, location, parent=None, size=0.2):
    """A hardpoint mesh as modellers make one: a small triangle whose centre is the point."""
    mesh = bpy.data.meshes.new(name + "Mesh")
    h = size
    mesh.from_pydata([(-h, -h * 0.5, 0), (h, -h * 0.5, 0), (0, h, 0)], [], [(0, 1, 2)])
    mesh.update()
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    obj.location = location
    if parent is not None:
        obj.parent = parent
    return obj


def give_materials(obj, names):
    """Several materials on one part: faces take them in turn."""
    for name in names:
        obj.data.materials.append(material(name))
    for i, polygon in enumerate(obj.data.polygons):
        polygon.material_index = i % len(names)


def parent_keeping_place(child, parent):
    bpy.context.view_layer.update()
    child.parent = parent
    child.matrix_parent_inverse = parent.matrix_world.inverted()


def build_ship():
    hull = add_primitive("cube", "Hull", scale=(1.2, 1.2, 1.2), shape=(0.8, 3.4, 0.4))
    give_materials(hull, ["HullPlate", "HullTrim"])
    # The usual way to model the other wing: a copy scaled by -1 on one axis.
    wing = add_primitive("cylinder", "WingLeft", location=(2.5, 0.5, 0),
                         rotation=(0, math.radians(90), math.radians(15)), scale=(0.3, 0.6, 1.5))
    give_materials(wing, ["Wing"])
    wing_right = add_primitive("cylinder", "WingRight", location=(-2.5, 0.5, 0),
                               rotation=(0, math.radians(-90), math.radians(-15)),
                               scale=(-1, 1, 1), shape=(0.3, 0.6, 1.5))
    wing_right.data.materials.append(material("Wing"))
    # Mirrored on two axes: a half turn, which must not be flipped.
    tail = add_primitive("cone", "Tail", location=(0, -4.2, 1.0), rotation=(0.3, 0, 0),
                         scale=(-0.5, -0.5, 1.0))
    give_materials(tail, ["HullTrim"])
    # Parts parented to a mirrored part and to a rotated one.
    engine = add_primitive("uv_sphere", "Engine", location=(-3.5, -1.0, 0), scale=(0.4, 0.8, 0.4))
    give_materials(engine, ["Glow", "HullPlate"])
    parent_keeping_place(engine, wing_right)
    dish = add_primitive("torus", "Dish", location=(0, 2.0, 0.8), rotation=(0.4, 0.2, 0.1),
                         scale=(0.3, 0.3, 0.3))
    parent_keeping_place(dish, hull)
    add_hardpoint("Hp_Fixed_Gun01", (1.5, 3.0, 0.2))
    add_hardpoint("Hp_Revolute_Turret", (0, 1.0, 0.8), parent=hull)
    gun = add_hardpoint("Hp_Fixed_WingGun", (0.5, 0.2, 0.4))
    parent_keeping_place(gun, wing_right)
    add_hardpoint("HpMount", (0, 0, -0.6))


def build_random(seed):
    rng = random.Random(seed)
    kinds = ["cube", "cylinder", "cone", "uv_sphere", "ico_sphere", "plane", "torus"]
    materials = ["Plate", "Trim", "Glow", "Glass"]
    parts = []
    parents = []  # the parts scaled alike on every axis
    for index in range(rng.randint(1, 5)):
        even = rng.random() < 0.5
        size = rng.uniform(0.2, 2.0)
        scale = [size if even else rng.uniform(0.2, 2.0) for _ in range(3)]
        for axis in range(3):
            if rng.random() < 0.3:
                scale[axis] = -scale[axis]
        obj = add_primitive(
            rng.choice(kinds), "Part%d" % index,
            location=[rng.uniform(-6, 6) for _ in range(3)],
            rotation=[rng.uniform(-math.pi, math.pi) for _ in range(3)], scale=scale,
            shape=[rng.uniform(0.3, 2.0) for _ in range(3)])
        count = rng.randint(0, 3)
        if count:
            give_materials(obj, rng.sample(materials, count))
        if parents and rng.random() < 0.5:
            parent_keeping_place(obj, rng.choice(parents))
        parts.append(obj)
        if even:
            parents.append(obj)
    for index in range(rng.randint(0, 3)):
        kind = rng.choice(["Fixed", "Revolute"])
        parent = rng.choice(parents) if parents and rng.random() < 0.5 else None
        add_hardpoint("Hp_%s_Point%d" % (kind, index),
                      [rng.uniform(-3, 3) for _ in range(3)], parent=parent,
                      size=rng.uniform(0.05, 0.5))


def triangulate_all():
    """Triangles are made here, once, so that every format carries the same ones."""
    for obj in bpy.context.scene.objects:
        if obj.type != "MESH":
            continue
        mesh = bmesh.new()
        mesh.from_mesh(obj.data)
        bmesh.ops.triangulate(mesh, faces=mesh.faces[:])
        mesh.to_mesh(obj.data)
        mesh.free()
        obj.data.update()


def record(path, objects_wanted=None, unit=1.0):
    """Every triangle as Blender draws it (the evaluated mesh, its modifiers applied, split
    as the viewport splits it): world space times the scene's unit scale `unit` (metres),
    front corners counterclockwise, the texture coordinates Blender renders with, and each
    corner's normal as Blender shades it (its split normal, in world space) beside its
    face's. Hardpoints, meshes and empties named so, also give their centre."""
    bpy.context.view_layer.update()
    depsgraph = bpy.context.evaluated_depsgraph_get()
    objects = []
    candidates = objects_wanted if objects_wanted is not None else bpy.context.scene.objects
    for obj in sorted(candidates, key=lambda o: o.name):
        if obj.type == "EMPTY" and obj.name.lower().startswith("hp"):
            centre = obj.matrix_world.translation * unit
            objects.append({"name": obj.name, "triangles": [], "centre": list(centre)})
        if obj.type != "MESH":
            continue
        evaluated = obj.evaluated_get(depsgraph)
        mesh = evaluated.to_mesh()
        world = evaluated.matrix_world.copy()
        normal_matrix = world.to_3x3().inverted_safe().transposed()
        mesh.calc_loop_triangles()
        mesh.calc_normals_split()
        # After the normals: their layer moves the mesh's other corner layers.
        uv_layer = next((layer for layer in mesh.uv_layers if layer.active_render), None)
        triangles = []
        for polygon in mesh.loop_triangles:
            loops = list(polygon.loops)
            corners = [world @ mesh.vertices[mesh.loops[i].vertex_index].co for i in loops]
            # The face Blender draws is turned the way of its normal, which Blender carries
            # into world space with the normal matrix: a mirroring matrix turns the
            # corners' own winding the other way, and Blender then shows the reverse.
            shown = normal_matrix @ polygon.normal
            winding = (corners[1] - corners[0]).cross(corners[2] - corners[0])
            if winding.dot(shown) < 0:
                loops = [loops[0], loops[2], loops[1]]
                corners = [corners[0], corners[2], corners[1]]
            uvs = [list(uv_layer.data[i].uv) if uv_layer else [0.0, 0.0] for i in loops]
            normals = [list((normal_matrix @ mesh.loops[i].normal).normalized()) for i in loops]
            slot = polygon.material_index
            name = None
            if slot < len(obj.material_slots) and obj.material_slots[slot].material:
                name = obj.material_slots[slot].material.name
            triangles.append({"corners": [list(c * unit) for c in corners], "uv": uvs,
                              "material": name, "normals": normals,
                              "face_normal": list(shown.normalized())})
        entry = {"name": obj.name, "triangles": triangles}
        if obj.name.lower().startswith("hp"):
            centre = world.translation.copy()
            if len(mesh.vertices):
                centre = sum((world @ v.co for v in mesh.vertices), Vector()) / len(mesh.vertices)
            entry["centre"] = list(centre * unit)
        objects.append(entry)
        evaluated.to_mesh_clear()
    with open(path, "w") as out:
        json.dump({"objects": objects}, out, indent=1)


def export_all(stem):
    # Blender's defaults for each format, as File > Export gives them.
    bpy.ops.export_scene.gltf(filepath=stem + ".glb", export_format="GLB")
    bpy.ops.export_scene.fbx(filepath=stem + ".fbx")
    bpy.ops.wm.obj_export(filepath=stem + ".obj")
    bpy.ops.wm.collada_export(filepath=stem + ".dae")


def main():
    arguments = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    if len(arguments) < 2:
        sys.exit("usage: blender -b --python make_scenes.py -- OUT_FOLDER SCENE...")
    folder = arguments[0]
    for scene in arguments[1:]:
        clear_scene()
        if scene == "ship":
            build_ship()
            name = "ship"
        elif scene.startswith("random:"):
            seed = int(scene.split(":", 1)[1])
            build_random(seed)
            name = "random%d" % seed
        else:
            sys.exit("unknown scene '%s'" % scene)
        triangulate_all()
        stem = folder + "/" + name
        record(stem + ".json")
        export_all(stem)


if __name__ == "__main__":
    main()
