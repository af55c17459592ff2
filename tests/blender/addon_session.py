# Runs inside Blender: installs the add-on from its zip as a user does, builds a ship the
# way modellers do (mirrored and parented parts, several materials, Mirror and Array
# modifiers, hardpoint meshes), exports it through File > Export's operator, imports the
# written file back through File > Import's, and walks every way the export can fail.
# What Blender holds, what the operators reported and what was left behind go into
# OUT/session.json for tests/blender/addon_test.cpp to check.
#
#   blender --background --factory-startup --python addon_session.py -- ZIP MODELHOST OUT
import ctypes
import json
import math
import os
import sys

import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_scenes  # noqa: E402  (after the path that finds it)

_libc = ctypes.CDLL(None)


def call(operator, **arguments):
    """Runs an operator; gives its result and its reports, which Blender prints when it has
    no window ("Info: ...", "Warning: ...", "Error: ...")."""
    capture = os.path.join(OUT, "reports.txt")
    sys.stdout.flush()
    _libc.fflush(None)
    saved = os.dup(1)
    with open(capture, "w+b") as sink:
        os.dup2(sink.fileno(), 1)
        try:
            try:
                result = sorted(operator(**arguments))
            except RuntimeError:
                result = ["RAISED"]  # what an ERROR report makes of a script's call
        finally:
            sys.stdout.flush()
            _libc.fflush(None)
            os.dup2(saved, 1)
            os.close(saved)
        sink.seek(0)
        printed = sink.read().decode("utf-8", "replace")
    os.remove(capture)
    reports = []
    for line in printed.splitlines():
        for prefix, level in (("Info: ", "INFO"), ("Warning: ", "WARNING"), ("Error: ", "ERROR")):
            if line.startswith(prefix):
                reports.append([level, line[len(prefix):]])
    return {"result": result, "reports": reports, "leftovers": leftovers()}


def leftovers():
    """The add-on's temporary folders that are still there."""
    folder = os.environ.get("TMPDIR", "/tmp")
    return sorted(name for name in os.listdir(folder) if name.startswith("cmpexport-"))


def build_ship():
    hull = make_scenes.add_primitive("cube", "Hull", scale=(1.2, 1.2, 1.2), shape=(0.8, 3.4, 0.4))
    make_scenes.give_materials(hull, ["HullPlate", "HullTrim"])
    # A pod on each side: one object, mirrored across the hull by a Mirror modifier.
    pod = make_scenes.add_primitive("uv_sphere", "Pod", location=(2.0, 0.5, 0),
                                    shape=(0.4, 1.2, 0.4))
    mirror = pod.modifiers.new("Mirror", "MIRROR")
    mirror.mirror_object = hull
    make_scenes.give_materials(pod, ["Glow", "HullPlate"])
    # A row of fins from an Array modifier.
    fin = make_scenes.add_primitive("cube", "Fin", location=(0, -3.5, 0.6),
                                    shape=(0.05, 0.3, 0.3))
    array = fin.modifiers.new("Array", "ARRAY")
    array.count = 3
    array.relative_offset_displace = (4.0, 0, 0)
    make_scenes.give_materials(fin, ["HullTrim"])
    # The other wing, scaled by -1; an engine parented to it; a part mirrored on two axes.
    wing = make_scenes.add_primitive("cylinder", "WingRight", location=(-2.5, 0.5, 0),
                                     rotation=(0, math.radians(-90), math.radians(-15)),
                                     scale=(-1, 1, 1), shape=(0.3, 0.6, 1.5))
    make_scenes.give_materials(wing, ["Wing"])
    engine = make_scenes.add_primitive("cone", "Engine", location=(-3.5, -1.0, 0),
                                       scale=(0.4, 0.8, 0.4))
    make_scenes.parent_keeping_place(engine, wing)
    tail = make_scenes.add_primitive("cone", "Tail", location=(0, -4.2, 1.0),
                                     rotation=(0.3, 0, 0), scale=(-0.5, -0.5, 1.0))
    make_scenes.give_materials(tail, ["HullTrim"])
    # A child turned inside a parent scaled unevenly: sheared, as the viewport shows it.
    boom = make_scenes.add_primitive("cube", "Boom", location=(0, 3.0, -0.5),
                                     scale=(0.3, 1.5, 0.2))
    antenna = make_scenes.add_primitive("cylinder", "Antenna", location=(0, 3.5, -0.8),
                                        rotation=(0.5, 0.4, 0), scale=(0.1, 0.1, 0.5))
    make_scenes.parent_keeping_place(antenna, boom)
    make_scenes.add_hardpoint("Hp_Fixed_Gun01", (1.5, 3.0, 0.2))
    make_scenes.add_hardpoint("Hp_Revolute_Turret", (0, 1.0, 0.8), parent=hull)
    bpy.context.view_layer.objects.active = hull
    return hull


def clear_scene():
    """An empty scene, the add-on still enabled (factory settings would disable it)."""
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.materials,
                       bpy.data.curves):
        for item in list(collection):
            collection.remove(item)


def set_modelhost(path):
    bpy.context.preferences.addons["cmpexport"].preferences.modelhost_path = path


def record_import():
    """What the import brought in: its meshes as a scene, its empties as hardpoints."""
    imported = list(bpy.context.selected_objects)
    make_scenes.record(os.path.join(OUT, "imported.json"),
                       [o for o in imported if o.type == "MESH"])
    hardpoints = []
    for obj in imported:
        if obj.type == "EMPTY" and "kind" in obj.keys():
            hardpoints.append({"name": obj.name, "kind": obj["kind"],
                               "display": obj.empty_display_type,
                               "drawn": obj.empty_display_size * max(obj.matrix_world.to_scale()),
                               "location": list(obj.matrix_world.translation)})
    return hardpoints


def export_cases(modelhost):
    """Every way the export can end, each from a scene of its own."""
    cases = {}
    folder = os.path.join(OUT, "cases")
    os.makedirs(folder)

    def fresh():
        clear_scene()
        set_modelhost(modelhost)

    def target(name):
        return os.path.join(folder, name)

    fresh()
    make_scenes.add_primitive("cube", "Hull")
    make_scenes.add_hardpoint("Hp_Gun01", (0, 0, 1))
    cases["left out"] = call(bpy.ops.export_scene.cmp, filepath=target("leftout"))

    fresh()
    bpy.ops.mesh.primitive_grid_add(x_subdivisions=150, y_subdivisions=150, size=4)
    bpy.context.active_object.name = "Plate"
    with open(target("kept.cmp"), "w") as mine:
        mine.write("the user's file")
    cases["over the limits"] = call(bpy.ops.export_scene.cmp, filepath=target("kept.cmp"))

    # Over the vertex limit too: told in Blender's count, not the file's split one.
    fresh()
    bpy.ops.mesh.primitive_grid_add(x_subdivisions=300, y_subdivisions=300, size=4)
    bpy.context.active_object.name = "Plate"
    cases["over the vertex limit"] = call(bpy.ops.export_scene.cmp, filepath=target("kept.cmp"))

    fresh()
    bad = make_scenes.add_primitive("cube", "Hull")
    # Set in bulk: a single vertex's coordinates are clamped to the largest float.
    corners = [0.0] * (3 * len(bad.data.vertices))
    bad.data.vertices.foreach_get("co", corners)
    corners[0] = math.nan
    bad.data.vertices.foreach_set("co", corners)
    cases["not finite"] = call(bpy.ops.export_scene.cmp, filepath=target("infinite.cmp"))

    fresh()
    make_scenes.add_primitive("cube", "Hull")
    set_modelhost("/nonexistent/modelhost")
    cases["no modelhost"] = call(bpy.ops.export_scene.cmp, filepath=target("nohost.cmp"))

    fresh()
    make_scenes.add_primitive("cube", "Hull")
    cases["missing folder"] = call(bpy.ops.export_scene.cmp,
                                   filepath=target("missing/ship.cmp"))
    os.makedirs(target("taken.cmp"))
    cases["a folder in the way"] = call(bpy.ops.export_scene.cmp, filepath=target("taken.cmp"))

    fresh()
    cases["nothing to export"] = call(bpy.ops.export_scene.cmp, filepath=target("empty.cmp"))

    # Paths as Blender's exporters take them: relative to the working folder, and "//"
    # relative to the blend file, which this session never saved.
    fresh()
    make_scenes.add_primitive("cube", "Hull")
    working = os.getcwd()
    os.chdir(folder)
    cases["relative path"] = call(bpy.ops.export_scene.cmp, filepath="relative")
    os.chdir(working)
    cases["relative to an unsaved blend file"] = call(bpy.ops.export_scene.cmp,
                                                       filepath="//unsaved.cmp")

    # Edit Mode: the mesh as edited (twice the size), though the edit is not yet in the
    # object's data; Edit Mode again afterwards.
    fresh()
    edited = make_scenes.add_primitive("cube", "Hull")
    bpy.context.view_layer.objects.active = edited
    bpy.ops.object.mode_set(mode="EDIT")
    import bmesh
    mesh = bmesh.from_edit_mesh(edited.data)
    for vertex in mesh.verts:
        vertex.co *= 2
    bmesh.update_edit_mesh(edited.data)
    cases["edit mode"] = call(bpy.ops.export_scene.cmp, filepath=target("edited.cmp"),
                              use_modifiers=False)
    cases["edit mode"]["mode after"] = edited.mode
    bpy.ops.object.mode_set(mode="OBJECT")

    # A hardpoint active or first by name never names the model while a hull is there.
    for naming in ("ACTIVE", "FIRST"):
        fresh()
        make_scenes.add_primitive("cube", "Hull")
        point = make_scenes.add_hardpoint("Hp_Fixed_Aft", (0, -2, 0))
        bpy.context.view_layer.objects.active = point
        name = "named-%s.cmp" % naming.lower()
        cases["named " + naming] = call(bpy.ops.export_scene.cmp, filepath=target(name),
                                        naming=naming)
        with open(target(name), "rb") as written:
            cases["named " + naming]["after the hull"] = b"Hull.3db" in written.read()

    with open(target("garbage.cmp"), "wb") as garbage:
        garbage.write(b"UTF not really a tree file")
    cases["import refused"] = call(bpy.ops.import_scene.cmp, filepath=target("garbage.cmp"))
    cases["files"] = sorted(os.listdir(folder))
    return cases


def main():
    global OUT
    zip_path, modelhost, OUT = sys.argv[sys.argv.index("--") + 1:][:3]
    make_scenes.clear_scene()
    bpy.ops.preferences.addon_install(filepath=zip_path)
    bpy.ops.preferences.addon_enable(module="cmpexport")
    import cmpexport

    session = {"bl_info": {"name": cmpexport.bl_info["name"],
                           "version": list(cmpexport.bl_info["version"])}}
    set_modelhost(modelhost)
    build_ship()
    make_scenes.record(os.path.join(OUT, "ship.json"))
    session["export"] = call(bpy.ops.export_scene.cmp, filepath=os.path.join(OUT, "ship"))
    # The model file the operator hands to modelhost, written anew for the same scene.
    cmpexport.scene_file.write_model_file(bpy.context, os.path.join(OUT, "ship.glb"))

    # The file imported into the scene it came from, its objects gone but its materials
    # there, as a modeller lays a file beside its source; then exported again.
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    session["import"] = call(bpy.ops.import_scene.cmp, filepath=os.path.join(OUT, "ship.cmp"))
    session["imported hardpoints"] = record_import()
    session["export again"] = call(bpy.ops.export_scene.cmp,
                                   filepath=os.path.join(OUT, "again.cmp"))

    session["cases"] = export_cases(modelhost)
    with open(os.path.join(OUT, "session.json"), "w") as out:
        json.dump(session, out, indent=1)


OUT = ""
if __name__ == "__main__":
    main()
