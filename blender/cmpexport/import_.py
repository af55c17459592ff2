# File > Import > Compound model (.cmp): a written file read back through cmpinfo's glTF,
# to compare it with its source in Blender.
import os
import tempfile

import bpy

from . import programs


def _count(number, one, many):
    return "%d %s" % (number, one if number == 1 else many)


def load(context, source, configured_path=""):
    """Imports the file `source`, with cmpinfo found beside the configured modelhost
    (programs.find_program); returns the reports, as (level, text) pairs."""
    cmpinfo = programs.find_program("cmpinfo", configured_path)
    with tempfile.TemporaryDirectory(prefix="cmpexport-") as folder:
        model = os.path.join(folder, "model.glb")
        status, _, errors = programs.run([cmpinfo, "--gltf", model, source], folder)
        if status != 0:
            return [("ERROR", line[len("cmpinfo: "):] if line.startswith("cmpinfo: ") else line)
                    for line in errors.splitlines() if line.strip()] or [
                ("ERROR", "cmpinfo could not read %s (status %d)" % (source, status))]
        # Blender 3.4's glTF add-on still uses numpy.bool, which numpy 1.24 removed; the
        # alias must be back before that add-on's import code runs.
        import numpy
        if "bool" not in vars(numpy):
            numpy.bool = bool
        bpy.ops.import_scene.gltf(filepath=model)
        hardpoints = 0
        for obj in context.selected_objects:
            # cmpinfo writes each hardpoint as an empty node with its kind in the extras,
            # which Blender keeps as a custom property: show its axes.
            if obj.type == "EMPTY" and "kind" in obj.keys():
                obj.empty_display_type = "ARROWS"
                obj.empty_display_size = 0.5
                hardpoints += 1
        meshes = sum(1 for obj in context.selected_objects if obj.type == "MESH")
        return [("INFO", "Imported %s: %s, %s" % (source, _count(meshes, "mesh", "meshes"),
                                                  _count(hardpoints, "hardpoint", "hardpoints")))]


