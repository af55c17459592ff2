# Runs inside Blender: installs the add-on from its zip, builds the scenes modellers make
# out of habit (hardpoints marked by empties and by meshes of a point or two, flat and
# smooth shading with sharp edges, collection and Geometry Nodes instances, a unit scale,
# hidden objects and a second UV map for rendering), writes each through the add-on's
# scene gathering as the model file modelhost gets, and records what Blender shows.
# OUT/NAME.glb and OUT/NAME.json per scene, and OUT/session.json with what the gathering
# returned, are for tests/blender/addon_habits_test.cpp.
#
#   blender --background --factory-startup --python habits_session.py -- ZIP OUT
import json
import math
import os
import sys

import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_scenes  # noqa: E402  (after the path that finds it)


def mesh_object(name, vertices, edges=(), faces=(), location=(0, 0, 0)):
    mesh = bpy.data.meshes.new(name + "Mesh")
    mesh.from_pydata(vertices, edges, faces)
    mesh.update()
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    obj.location = location
    return obj


def empty(name, location, display="PLAIN_AXES", collection=None):
    obj = bpy.data.objects.new(name, None)
    obj.empty_display_type = display
    obj.location = location
    (collection or bpy.context.scene.collection).objects.link(obj)
    return obj


def shade_smooth(obj, auto_smooth=None):
    """Smooth faces, without texture coordinates: a seam splits a vertex in the file, which
    holds one texture coordinate per vertex, and the plug-in averages face normals per
    vertex: a smooth seam shows as a crease whatever the gathering does."""
    obj.data.uv_layers.remove(obj.data.uv_layers[0])
    for polygon in obj.data.polygons:
        polygon.use_smooth = True
    if auto_smooth is not None:
        obj.data.use_auto_smooth = True
        obj.data.auto_smooth_angle = auto_smooth


def build_hardpoints():
    hull = make_scenes.add_primitive("cube", "Hull", rotation=(0, 0, 0.5))
    gun = empty("Hp_Fixed_Gun", (1.5, 2.0, 0.25))
    make_scenes.parent_keeping_place(gun, hull)
    empty("Hp_Revolute_Turret", (0, -1, 1.2), display="CUBE").rotation_euler = (0.3, 0, 0)
    mesh_object("Hp_Fixed_Dot", [(0.3, 0.2, 0.1)], location=(2, 0, 0))
    mesh_object("Hp_Fixed_Pair", [(0, 0, 0), (0.5, 0.25, 1.0)], [(0, 1)], location=(-2, 1, 0))
    mesh_object("Hp_Revolute_Ring", [(1, 0, 0), (0, 1, 0), (-1, 0, 0), (0, -1, 0)],
                [(0, 1), (1, 2), (2, 3), (3, 0)], location=(0, 3, -1))
    camera = bpy.data.objects.new("Hp_Fixed_Cam", bpy.data.cameras.new("Cam"))
    bpy.context.scene.collection.objects.link(camera)
    empty("Rig", (0, 0, 5))


def build_shading():
    crate = make_scenes.add_primitive("cube", "Crate", location=(-3, 0, 0))
    make_scenes.give_materials(crate, ["Plate", "Trim"])
    make_scenes.add_primitive("cube", "CrateMirrored", location=(3, 0, 0), scale=(-1, 1, 1),
                              rotation=(0.2, 0.4, 0))
    shade_smooth(make_scenes.add_primitive("uv_sphere", "Dome", location=(0, 3, 0)))
    # Auto smooth keeps the caps flat and the sides smooth.
    shade_smooth(make_scenes.add_primitive("cylinder", "Barrel", location=(0, -3, 0),
                                           shape=(1, 1, 2)), auto_smooth=math.radians(30))
    # A torus smooth all round but for a ring of edges marked sharp.
    ring = make_scenes.add_primitive("torus", "Ring", location=(0, 0, 3))
    shade_smooth(ring, auto_smooth=math.pi)
    for edge in ring.data.edges:
        a, b = (ring.data.vertices[i].co for i in edge.vertices)
        edge.use_edge_sharp = a.z > 0.2 and b.z > 0.2


def build_instances():
    turret = bpy.data.collections.new("Turret")
    bpy.context.scene.collection.children.link(turret)
    barrel = make_scenes.add_primitive("cylinder", "Barrel", shape=(0.3, 0.3, 1.0))
    make_scenes.give_materials(barrel, ["Gunmetal"])
    for collection in barrel.users_collection:
        collection.objects.unlink(barrel)
    turret.objects.link(barrel)
    empty("Hp_Fixed_Gun", (0, 0, 1.2), collection=turret)
    # The source collection stays out of the view layer: only its instances show.
    bpy.context.view_layer.layer_collection.children["Turret"].exclude = True
    for name, location, rotation, scale in (("TurretA", (4, 0, 0), (0, 0, 0.5), 1.0),
                                            ("TurretB", (-4, 1, 0), (0.3, 0, 0), 0.5)):
        instancer = empty(name, location)
        instancer.rotation_euler = rotation
        instancer.scale = (scale, scale, scale)
        instancer.instance_type = "COLLECTION"
        instancer.instance_collection = turret
    # Cones on the corners of a plane, made by Geometry Nodes, beside the plane itself.
    scatter = make_scenes.add_primitive("plane", "Scatter", location=(0, -4, 0))
    # Realizing the instances for the record would drop a UV map the cones lack.
    scatter.data.uv_layers.remove(scatter.data.uv_layers[0])
    tree = bpy.data.node_groups.new("Scatter", "GeometryNodeTree")
    tree.inputs.new("NodeSocketGeometry", "Geometry")
    tree.outputs.new("NodeSocketGeometry", "Geometry")
    given, result = tree.nodes.new("NodeGroupInput"), tree.nodes.new("NodeGroupOutput")
    on_points = tree.nodes.new("GeometryNodeInstanceOnPoints")
    cone = tree.nodes.new("GeometryNodeMeshCone")
    cone.inputs["Radius Top"].default_value = 0.0
    join = tree.nodes.new("GeometryNodeJoinGeometry")
    tree.links.new(given.outputs[0], on_points.inputs["Points"])
    tree.links.new(cone.outputs[0], on_points.inputs["Instance"])
    tree.links.new(on_points.outputs[0], join.inputs[0])
    tree.links.new(given.outputs[0], join.inputs[0])
    tree.links.new(join.outputs[0], result.inputs[0])
    scatter.modifiers.new("Scatter", "NODES").node_group = tree


def make_instances_real():
    """The scene as plain objects, as Blender itself makes it: the collection instances
    made real, the Geometry Nodes instances realized by Blender's own node."""
    tree = bpy.data.node_groups["Scatter"]
    realize = tree.nodes.new("GeometryNodeRealizeInstances")
    join, result = tree.nodes["Join Geometry"], tree.nodes["Group Output"]
    tree.links.new(join.outputs[0], realize.inputs[0])
    tree.links.new(realize.outputs[0], result.inputs[0])
    bpy.ops.object.select_all(action="DESELECT")
    for obj in bpy.context.view_layer.objects:
        obj.select_set(obj.instance_type == "COLLECTION")
    bpy.ops.object.duplicates_make_real()


def build_units():
    bpy.context.scene.unit_settings.scale_length = 0.01
    # Shown as 20 m across: 2000 units of 1 cm.
    make_scenes.add_primitive("cube", "Hull", location=(500, 0, 0), shape=(1000, 1000, 1000))
    empty("Hp_Fixed_Nose", (0, 1000, 0))


def build_visible():
    shown = make_scenes.add_primitive("cube", "Shown")
    # The editor shows the first UV map; renders use a second one.
    render = shown.data.uv_layers.new(name="Render")
    uvs = [0.0] * (2 * len(render.data))
    render.data.foreach_get("uv", uvs)
    render.data.foreach_set("uv", [0.25 + value / 2 for value in uvs])
    render.active_render = True
    shown.data.uv_layers.active = shown.data.uv_layers[0]
    make_scenes.add_primitive("cube", "HiddenEye", location=(3, 0, 0)).hide_set(True)
    make_scenes.add_primitive("cube", "Disabled", location=(-3, 0, 0)).hide_viewport = True
    stored = bpy.data.collections.new("Stored")
    bpy.context.scene.collection.children.link(stored)
    tucked = make_scenes.add_primitive("cube", "Tucked", location=(0, 3, 0))
    for collection in tucked.users_collection:
        collection.objects.unlink(tucked)
    stored.objects.link(tucked)
    bpy.context.view_layer.layer_collection.children["Stored"].hide_viewport = True


def clear_scene():
    """An empty scene, the add-on still enabled (factory settings would disable it)."""
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.materials, bpy.data.curves,
                       bpy.data.cameras, bpy.data.collections, bpy.data.node_groups):
        for item in list(collection):
            collection.remove(item)
    bpy.context.scene.unit_settings.scale_length = 1.0


def write(name, **options):
    from cmpexport import scene_file
    bpy.context.view_layer.update()
    written = scene_file.write_scene(bpy.context, os.path.join(OUT, name + ".glb"), **options)
    return {"objects": written.objects, "hardpoints not written": written.hardpoints_not_written}


def main():
    global OUT
    zip_path, OUT = sys.argv[sys.argv.index("--") + 1:][:2]
    make_scenes.clear_scene()
    bpy.ops.preferences.addon_install(filepath=zip_path)
    bpy.ops.preferences.addon_enable(module="cmpexport")
    session = {}

    for name, build in (("hardpoints", build_hardpoints), ("shading", build_shading)):
        clear_scene()
        build()
        session[name] = write(name)
        make_scenes.record(os.path.join(OUT, name + ".json"))

    clear_scene()
    build_instances()
    session["instances"] = write("instances")
    make_instances_real()
    make_scenes.record(os.path.join(OUT, "instances.json"), list(bpy.context.view_layer.objects))

    clear_scene()
    build_units()
    session["units"] = write("units")
    make_scenes.record(os.path.join(OUT, "units.json"), unit=0.01)

    clear_scene()
    build_visible()
    session["visible"] = write("visible", visible_only=True)
    session["all"] = write("all")
    make_scenes.record(os.path.join(OUT, "visible.json"), [bpy.data.objects["Shown"]])

    with open(os.path.join(OUT, "session.json"), "w") as out:
        json.dump(session, out, indent=1)


OUT = ""
if __name__ == "__main__":
    main()
