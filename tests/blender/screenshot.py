# Runs inside Blender with a window (scripts/render-docs.sh starts it in a virtual X
# server): installs the add-on from its zip, builds the ship of the add-on's tests and
# opens File > Export > Compound model (.cmp) on it, then takes a picture of the screen
# and quits.
#
#   blender --factory-startup --python screenshot.py -- ZIP MODELHOST PNG
import os
import subprocess
import sys

import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import addon_session  # noqa: E402  (after the path that finds it)

zip_path, modelhost, picture = sys.argv[sys.argv.index("--") + 1:][:3]
bpy.ops.preferences.addon_install(filepath=zip_path)
bpy.ops.preferences.addon_enable(module="cmpexport")
addon_session.clear_scene()
addon_session.set_modelhost(modelhost)
addon_session.build_ship()


def window_context():
    window = bpy.context.window_manager.windows[0]
    area = next(a for a in window.screen.areas if a.type == "VIEW_3D")
    region = next(r for r in area.regions if r.type == "WINDOW")
    return bpy.context.temp_override(window=window, area=area, region=region)


def open_export():
    with window_context():
        bpy.ops.view3d.view_all()
        bpy.ops.export_scene.cmp("INVOKE_DEFAULT", filepath=os.path.join(
            os.path.dirname(picture), "kestrel.cmp"))
    bpy.app.timers.register(take_picture, first_interval=3.0)


def take_picture():
    # The file browser is a window of its own, which Blender's screenshot leaves out: the
    # picture is taken of the whole X screen (ImageMagick's import).
    subprocess.run(["import", "-window", "root", picture], check=True)
    bpy.ops.wm.quit_blender()


bpy.app.timers.register(open_export, first_interval=3.0)
