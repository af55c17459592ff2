# Times the add-on's export against Blender's own glTF export of the same scene, in one
# Blender session: a ship of about 20,000 triangles (smooth and flat parts, several
# materials, a mirrored part, modifiers), each export run several times, the median
# printed. The add-on's time is the whole File > Export operator (the scene gathered
# and written, modelhost run once) and, beside it, the gathering alone.
#
#   blender --background --factory-startup --python bench/blender_export_bench.py -- \
#       ADDON_ZIP MODELHOST [RUNS]
import os
import statistics
import sys
import tempfile
import time

# Blender 3.4's glTF add-on still uses numpy.bool, which numpy 1.24 removed.
import numpy

if "bool" not in vars(numpy):
    numpy.bool = bool

import bpy


def build_ship():
    """About 20,000 triangles, under the format's 21,845."""
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    materials = [bpy.data.materials.new(name) for name in ("Plate", "Trim", "Glow")]
    parts = [("uv_sphere", dict(segments=96, ring_count=48), (0, 0, 0), (1, 1, 1)),
             ("uv_sphere", dict(segments=48, ring_count=24), (3, 0, 0), (-1, 1, 1)),
             ("cylinder", dict(vertices=64), (0, 4, 0), (1, 1, 1)),
             ("torus", dict(major_segments=64, minor_segments=24), (0, -4, 0), (1, 1, 1))]
    for index, (kind, arguments, location, scale) in enumerate(parts):
        getattr(bpy.ops.mesh, "primitive_%s_add" % kind)(location=location, **arguments)
        obj = bpy.context.active_object
        obj.name = "Part%d" % index
        obj.scale = scale
        for material in materials:
            obj.data.materials.append(material)
        for polygon in obj.data.polygons:
            polygon.material_index = polygon.index % len(materials)
            polygon.use_smooth = index % 2 == 0
    bpy.context.active_object.modifiers.new("Mirror", "MIRROR")
    bpy.context.view_layer.update()
    depsgraph = bpy.context.evaluated_depsgraph_get()
    triangles = 0
    for obj in bpy.context.scene.objects:
        mesh = obj.evaluated_get(depsgraph).to_mesh()
        mesh.calc_loop_triangles()
        triangles += len(mesh.loop_triangles)
        obj.evaluated_get(depsgraph).to_mesh_clear()
    return triangles


def median_seconds(work, runs):
    work()  # once before timing: the first run loads what later ones find loaded
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    arguments = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    if len(arguments) < 2:
        sys.exit("usage: blender -b --python blender_export_bench.py -- ZIP MODELHOST [RUNS]")
    zip_path, modelhost = arguments[:2]
    runs = int(arguments[2]) if len(arguments) > 2 else 5
    bpy.ops.preferences.addon_install(filepath=zip_path)
    bpy.ops.preferences.addon_enable(module="cmpexport")
    from cmpexport import scene_file

    triangles = build_ship()
    bpy.context.preferences.addons["cmpexport"].preferences.modelhost_path = modelhost
    with tempfile.TemporaryDirectory(prefix="cmp-bench-") as folder:
        gltf = median_seconds(lambda: bpy.ops.export_scene.gltf(
            filepath=os.path.join(folder, "ship.glb"), export_format="GLB"), runs)
        gathering = median_seconds(lambda: scene_file.write_model_file(
            bpy.context, os.path.join(folder, "model.glb")), runs)
        addon = median_seconds(lambda: bpy.ops.export_scene.cmp(
            filepath=os.path.join(folder, "ship.cmp")), runs)
        if not os.path.exists(os.path.join(folder, "ship.cmp")):
            sys.exit("the add-on's export wrote no file")
    print("triangles: %d" % triangles)
    print("Blender's glTF export: %.3f s" % gltf)
    print("add-on export (.cmp): %.3f s (%.2f times glTF)" % (addon, addon / gltf))
    print("  of which the gathering: %.3f s (%.2f times glTF); the rest is modelhost's run"
          % (gathering, gathering / gltf))


if __name__ == "__main__":
    main()
