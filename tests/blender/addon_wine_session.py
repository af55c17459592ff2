# Runs inside Blender: the add-on installed from its zip, one ship built the way modellers
# build it, exported and imported back through the add-on's operators twice: once with
# its programs pointed at the Linux ones, once at the Windows ones run through Wine. What
# each route reported, wrote and left in Blender goes into OUT/session.json for
# tests/windows/addon_wine_compare.py to compare.
#
#   blender --background --factory-startup --python addon_wine_session.py -- \
#       ZIP OUT ROUTE=PROGRAMS_FOLDER...
#
# Each ROUTE's programs (modelhost and cmpinfo) are found through the add-on's
# preference, set to PROGRAMS_FOLDER; its files go to OUT/<ROUTE> route/.
import json
import os
import sys

import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import addon_session  # noqa: E402  (after the path that finds it)
import make_scenes  # noqa: E402


def build_ship():
    """addon_session's ship (Mirror and Array modifiers, a wing scaled by -1 with an
    engine parented to it, a sheared child, mesh hardpoints), with an empty as a third
    hardpoint, parented to the hull as modellers hang guns on it."""
    hull = addon_session.build_ship()
    nose = bpy.data.objects.new("Hp_Fixed_Nose", None)
    bpy.context.scene.collection.objects.link(nose)
    nose.location = (0, 4.2, 0.1)
    make_scenes.parent_keeping_place(nose, hull)
    bpy.context.view_layer.objects.active = hull


def export_cases(folder):
    """The ship, then each outcome whose words come from the programs rather than from
    the add-on: a plug-in warning, the plan's refusals, a file replaced, a user's file
    the plug-in must not replace."""
    calls = {}
    ship = os.path.join(folder, "ship one.cmp")
    calls["ship"] = addon_session.call(bpy.ops.export_scene.cmp, filepath=ship)
    calls["replaced"] = addon_session.call(bpy.ops.export_scene.cmp,
                                           filepath=os.path.join(folder, "ship again.cmp"))
    calls["replaced again"] = addon_session.call(bpy.ops.export_scene.cmp,
                                                 filepath=os.path.join(folder, "ship again.cmp"))
    locked = os.path.join(folder, "locked.cmp")
    with open(locked, "w") as mine:
        mine.write("the user's read-only file")
    os.chmod(locked, 0o444)
    calls["read-only target"] = addon_session.call(bpy.ops.export_scene.cmp, filepath=locked)
    return calls


def failing_exports(routes):
    """Scenes the plug-in warns about or refuses, each exported by every route."""
    cases = {route: {} for route in routes}

    def each_route(name):
        for route, programs in routes.items():
            addon_session.set_modelhost(programs)
            target = os.path.join(OUT, route + " route", name + ".cmp")
            cases[route][name] = addon_session.call(bpy.ops.export_scene.cmp, filepath=target)

    addon_session.clear_scene()
    make_scenes.add_primitive("cube", "Hull")
    make_scenes.add_hardpoint("Hp_Gun01", (0, 0, 1))
    each_route("left out")

    addon_session.clear_scene()
    bpy.ops.mesh.primitive_grid_add(x_subdivisions=150, y_subdivisions=150, size=4)
    bpy.context.active_object.name = "Plate"
    each_route("over the limits")

    addon_session.clear_scene()
    bad = make_scenes.add_primitive("cube", "Hull")
    corners = [0.0] * (3 * len(bad.data.vertices))
    bad.data.vertices.foreach_get("co", corners)
    corners[0] = float("nan")
    bad.data.vertices.foreach_set("co", corners)
    each_route("not finite")
    return cases


def held(objects):
    """What Blender holds for the imported objects, exactly: names, kinds, parents, world
    matrices, every vertex and triangle with its material, the hardpoints' display."""
    bpy.context.view_layer.update()
    found = []
    for obj in sorted(objects, key=lambda o: o.name):
        entry = {"name": obj.name, "type": obj.type,
                 "parent": obj.parent.name if obj.parent else None,
                 "matrix_world": [list(row) for row in obj.matrix_world]}
        if obj.type == "EMPTY":
            entry["kind"] = obj.get("kind")
            entry["display"] = [obj.empty_display_type, obj.empty_display_size]
        if obj.type == "MESH":
            mesh = obj.data
            mesh.calc_loop_triangles()
            positions = [0.0] * (3 * len(mesh.vertices))
            mesh.vertices.foreach_get("co", positions)
            triangles = [0] * (3 * len(mesh.loop_triangles))
            mesh.loop_triangles.foreach_get("vertices", triangles)
            slots = [0] * len(mesh.loop_triangles)
            mesh.loop_triangles.foreach_get("material_index", slots)
            entry["positions"] = positions
            entry["triangles"] = triangles
            entry["triangle materials"] = slots
            entry["materials"] = [s.material.name if s.material else None
                                  for s in obj.material_slots]
        found.append(entry)
    return found


def import_back(route, programs):
    """The route's file imported into the scene it came from (its objects gone, its
    materials there); what the import brought in is recorded, then removed, so that the
    next route's import finds the same scene."""
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    materials_before = set(bpy.data.materials)
    addon_session.set_modelhost(programs)
    call = addon_session.call(bpy.ops.import_scene.cmp,
                              filepath=os.path.join(OUT, route + " route", "ship one.cmp"))
    call["held"] = held(bpy.context.selected_objects)
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    for mesh in [m for m in bpy.data.meshes if m.users == 0]:
        bpy.data.meshes.remove(mesh)
    for material in set(bpy.data.materials) - materials_before:
        bpy.data.materials.remove(material)
    return call


def import_refused(route, programs):
    """A file that is no tree file, imported: cmpinfo's refusal, in its words."""
    garbage = os.path.join(OUT, route + " route", "not a model.cmp")
    with open(garbage, "wb") as file:
        file.write(b"UTF not really a tree file")
    addon_session.set_modelhost(programs)
    return addon_session.call(bpy.ops.import_scene.cmp, filepath=garbage)


def main():
    global OUT
    arguments = sys.argv[sys.argv.index("--") + 1:]
    zip_path, OUT = arguments[:2]
    addon_session.OUT = OUT
    routes = dict(argument.split("=", 1) for argument in arguments[2:])
    make_scenes.clear_scene()
    bpy.ops.preferences.addon_install(filepath=zip_path)
    bpy.ops.preferences.addon_enable(module="cmpexport")

    build_ship()
    session = {"exports": {}, "imports": {}}
    for route, programs in routes.items():
        folder = os.path.join(OUT, route + " route")
        os.makedirs(folder)
        addon_session.set_modelhost(programs)
        session["exports"][route] = export_cases(folder)
    for route, programs in routes.items():
        session["imports"][route] = import_back(route, programs)
        session["imports"][route]["refused"] = import_refused(route, programs)
    session["failing exports"] = failing_exports(routes)
    with open(os.path.join(OUT, "session.json"), "w") as out:
        json.dump(session, out, indent=1)


OUT = ""
if __name__ == "__main__":
    main()
