# Blender as a host of the compound-model exporter: File > Export > Compound model (.cmp)
# hands the scene, as Blender evaluates it, to the exporter's plug-in through modelhost;
# File > Import > Compound model (.cmp) reads a written file back through cmpinfo's glTF.
# The export itself stays in the plug-in; this add-on only gathers the model and tells
# the user what the plug-in said.
bl_info = {
    "name": "Quorvane CMP Exporter (.cmp)",
    "author": "the cmpexport authors",
    # Replaced by the project's one version when the add-on is packaged.
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Export > Compound model (.cmp); File > Import > Compound model (.cmp)",
    "description": "Exports the scene as a compound model (.cmp) with the exporter's own "
                   "plug-in, hardpoints from meshes named Hp_Fixed_... and Hp_Revolute_..., "
                   "and imports such files to compare them with their source",
    "category": "Import-Export",
}

if "bpy" in locals():
    import importlib

    importlib.reload(programs)
    importlib.reload(scene_file)

import os
import tempfile

import bpy
from bpy.props import BoolProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import programs, scene_file


class CmpExportPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    modelhost_path: StringProperty(
        name="modelhost",
        description="The exporter's modelhost program (cmpinfo is looked for beside it). "
                    "Empty: where an installed copy keeps it, else on PATH",
        subtype="FILE_PATH",
        default="")

    def draw(self, context):
        self.layout.prop(self, "modelhost_path")


def _preferences(context):
    addon = context.preferences.addons.get(__package__)
    return addon.preferences if addon is not None else None


def _configured_path(context):
    preferences = _preferences(context)
    return preferences.modelhost_path if preferences is not None else ""


def _with_extension(path):
    """".cmp" added to a name without any dot, as the exporter's save dialog adds it."""
    folder, name = os.path.split(path)
    return path if "." in name or not name else path + ".cmp"


def _naming_object(context, written, naming):
    """The --first arguments for the object that names the model, if it is in the file."""
    active = context.view_layer.objects.active
    if naming == "ACTIVE" and active is not None and active.name in written:
        return ["--first", active.name]
    return []


def export_model(context, target, selected_only, apply_modifiers, naming):
    """Exports the scene to `target`; returns the reports, as (level, text) pairs."""
    modelhost = programs.find_program("modelhost", _configured_path(context))
    with tempfile.TemporaryDirectory(prefix="cmpexport-") as folder:
        model = os.path.join(folder, "model.glb")
        written = scene_file.write_model_file(context, model, selected_only, apply_modifiers)
        if not written:
            return [("ERROR", "Nothing to export: no %sobject has faces"
                     % ("selected " if selected_only else ""))]
        first = _naming_object(context, written, naming)

        # The plan first: a model the plug-in refuses is told in its own words, and the
        # file already there stays as it is.
        status, listing, errors = programs.run([modelhost, "--list"] + first + [model], folder)
        if status != 0:
            return [("ERROR", text) for text in programs.messages_of(errors)] or [
                ("ERROR", "modelhost could not read the model (status %d)" % status)]
        counts, size, refusal, empty = programs.plan_of(listing)
        if refusal:
            return [("ERROR", "The plug-in refuses the model, nothing was written: "
                     + "; ".join(refusal))]
        if empty:
            return [("ERROR", "Nothing to export: the model is empty")]

        # The file browser has asked before replacing a file; the plug-in stages its
        # output and replaces the file only with a complete export.
        status, _, errors = programs.run(
            [modelhost, "--ui", "console", "--save-as", target, "--overwrite"] + first + [model],
            folder)
        messages = list(dict.fromkeys(programs.messages_of(errors)))
        if status != 0:
            return [("ERROR", text) for text in messages] or [
                ("ERROR", "modelhost ended with status %d and wrote nothing" % status)]
        reports = [("WARNING", text) for text in messages]
        reports.append(("INFO", "Exported %s: %s; size %s" % (target, counts, size)))
        return reports


def _count(number, one, many):
    return "%d %s" % (number, one if number == 1 else many)


def import_model(context, source):
    """Imports `source` through cmpinfo's glTF; returns the reports."""
    cmpinfo = programs.find_program("cmpinfo", _configured_path(context))
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


def _report_all(operator, reports):
    for level, text in reports:
        operator.report({level}, text)
    return {"CANCELLED"} if any(level == "ERROR" for level, _ in reports) else {"FINISHED"}


def _run_reporting(operator, work):
    # Whatever goes wrong reaches the user as a report, never as a traceback.
    try:
        reports = work()
    except programs.ProgramNotFound as missing:
        reports = [("ERROR", str(missing))]
    except Exception as failure:
        reports = [("ERROR", "%s: %s" % (type(failure).__name__, failure))]
    return _report_all(operator, reports)


class ExportCmp(bpy.types.Operator, ExportHelper):
    """Export the scene as a compound model (.cmp)"""

    bl_idname = "export_scene.cmp"
    bl_label = "Export Compound Model"
    bl_options = {"PRESET"}

    filename_ext = ".cmp"
    # The extension follows the exporter's save dialog: added to a name without a dot.
    check_extension = None
    filter_glob: StringProperty(default="*.cmp", options={"HIDDEN"})

    use_selection: BoolProperty(name="Selected Objects Only",
                                description="Export only the selected objects", default=False)
    use_modifiers: BoolProperty(name="Apply Modifiers",
                                description="Export the meshes as their modifiers make them",
                                default=True)
    naming: EnumProperty(
        name="Model Named After",
        description="The object whose name the file's nodes take (<name>.3db)",
        items=(("ACTIVE", "Active Object", "The active object, when it is exported"),
               ("FIRST", "First Object", "The first object exported, by name")),
        default="ACTIVE")

    def execute(self, context):
        target = _with_extension(bpy.path.abspath(self.filepath))
        return _run_reporting(self, lambda: export_model(
            context, target, self.use_selection, self.use_modifiers, self.naming))


class ImportCmp(bpy.types.Operator, ImportHelper):
    """Import a compound model (.cmp) that the exporter wrote"""

    bl_idname = "import_scene.cmp"
    bl_label = "Import Compound Model"
    bl_options = {"UNDO"}

    filename_ext = ".cmp"
    filter_glob: StringProperty(default="*.cmp", options={"HIDDEN"})

    def execute(self, context):
        source = bpy.path.abspath(self.filepath)
        return _run_reporting(self, lambda: import_model(context, source))


def menu_export(self, context):
    self.layout.operator(ExportCmp.bl_idname, text="Compound model (.cmp)")


def menu_import(self, context):
    self.layout.operator(ImportCmp.bl_idname, text="Compound model (.cmp)")


classes = (CmpExportPreferences, ExportCmp, ImportCmp)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
