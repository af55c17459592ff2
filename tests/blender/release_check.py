# Runs inside Blender for the release checks: enables the add-on as a user would have
# installed it, from the release's zip or from the Debian package's folder, and exports a
# cube through File > Export's operator. Exits non-zero when anything fails.
#
#   blender -b --factory-startup --python release_check.py -- zip ZIP OUT [MODELHOST]
#   blender -b --factory-startup --python release_check.py -- folder OUT
#   blender -b --factory-startup --python release_check.py -- registers ZIP
# "folder": the add-on is already in BLENDER_USER_SCRIPTS/addons (a link to the package's
# folder) and must find modelhost in the package's own layout, with no preference set.
# "registers": the Windows zip, whose programs cannot run here: installed, its programs
# unpacked into the add-on's bin folder, its operators registered; nothing exported.
import os
import sys

import bpy

arguments = sys.argv[sys.argv.index("--") + 1:]
mode = arguments[0]
if mode in ("zip", "registers"):
    bpy.ops.preferences.addon_install(filepath=arguments[1])
if mode == "zip":
    out = arguments[2]
elif mode == "folder":
    out = arguments[1]
bpy.ops.preferences.addon_enable(module="cmpexport")
import cmpexport  # noqa: E402  (only there once enabled)

print("add-on %s %s from %s" % (cmpexport.bl_info["name"],
                                ".".join(map(str, cmpexport.bl_info["version"])),
                                os.path.dirname(cmpexport.__file__)))
if mode == "registers":
    bundled = os.path.join(os.path.dirname(cmpexport.__file__), "bin")
    for name in ("modelhost.exe", "cmpexport.dll", "ztModelLib.dll", "cmpinfo.exe"):
        if not os.path.isfile(os.path.join(bundled, name)):
            sys.exit("the add-on's bin folder lacks %s" % name)
    for operators, name in ((bpy.ops.export_scene, "File > Export"),
                            (bpy.ops.import_scene, "File > Import")):
        if "cmp" not in dir(operators):
            sys.exit("the add-on registered no %s operator" % name)
    print("registered File > Export and File > Import; programs in %s" % bundled)
    sys.exit(0)

if mode == "zip" and len(arguments) > 3:
    bpy.context.preferences.addons["cmpexport"].preferences.modelhost_path = arguments[3]

for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)
bpy.ops.mesh.primitive_cube_add(size=2)
bpy.context.active_object.name = "Hull"
target = os.path.join(out, "cube.cmp")
result = bpy.ops.export_scene.cmp(filepath=target)
if result != {"FINISHED"} or not os.path.isfile(target):
    sys.exit("the export through the add-on failed: %s" % result)
print("exported %s, %d bytes" % (target, os.path.getsize(target)))
