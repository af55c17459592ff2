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
    importlib.reload(scene_parts)
    importlib.reload(scene_file)
    importlib.reload(export)
    importlib.reload(import_)

import bpy
from bpy.props import BoolProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import export, import_, programs, scene_file, scene_parts


class CmpExportPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    modelhost_path: StringProperty(
        name="modelhost",
        description="The exporter's modelhost program, or its folder (cmpinfo is looked for "
                    "beside it), for an add-on without programs in its own bin folder. "
                    "Empty: where an installed copy keeps it, else on PATH",
        subtype="FILE_PATH",
        default="")

    def draw(self, context):
        self.layout.prop(self, "modelhost_path")


def _configured_path(context):
    addon = context.preferences.addons.get(__package__)
    return addon.preferences.modelhost_path if addon is not None else ""


def _report_all(operator, reports):
    for level, text in reports:
        operator.report({level}, text)
    return {"CANCELLED"} if any(level == "ERROR" for level, _ in reports) else {"FINISHED"}


def _run_reporting(operator, work):
    # Whatever goes wrong reaches the user as a report, never as a traceback.
    try:
        reports = work()
    except (programs.ProgramNotFound, export.Refused) as refusal:
        reports = [("ERROR", str(refusal))]
    except Exception as failure:
        reports = [("ERROR", "%s: %s" % (type(failure).__name__, failure))]
    return _report_all(operator, reports)


class ExportCmp(bpy.types.Operator, ExportHelper):
    """Export the scene as a compound model (.cmp). Empties and meshes named Hp_Fixed_... or
    Hp_Revolute_... become hardpoints at their place; the game turns each hardpoint to the
    nearest face of the hull (engines, mounts and thrusters stay unturned), so turning an
    empty does not turn its hardpoint"""

    bl_idname = "export_scene.cmp"
    # Short: the file browser's button and its options panel cut longer labels.
    bl_label = "Export CMP"
    bl_options = {"PRESET"}

    filename_ext = ".cmp"
    # The extension follows the exporter's save dialog: added to a name without a dot.
    check_extension = None
    filter_glob: StringProperty(default="*.cmp", options={"HIDDEN"})

    use_selection: BoolProperty(name="Selected Only",
                                description="Export only the selected objects", default=False)
    use_visible: BoolProperty(name="Visible Only",
                              description="Export only the objects the viewport shows",
                              default=False)
    use_modifiers: BoolProperty(name="Apply Modifiers",
                                description="Export the meshes as their modifiers make them",
                                default=True)
    naming: EnumProperty(
        name="Name After",
        description="The object whose name the file's nodes take (<name>.3db)",
        items=(("ACTIVE", "Active Object", "The active object, when it is exported"),
               ("FIRST", "First Object", "The first object exported, by name")),
        default="ACTIVE")

    def execute(self, context):
        settings = {"filepath": self.filepath,
                    "use_selection": self.use_selection, "use_visible": self.use_visible,
                    "use_modifiers": self.use_modifiers,
                    "naming": self.naming, "modelhost_path": _configured_path(context)}
        return _run_reporting(self, lambda: export.save(context, settings))


class ImportCmp(bpy.types.Operator, ImportHelper):
    """Import a compound model (.cmp) that the exporter wrote"""

    bl_idname = "import_scene.cmp"
    bl_label = "Import CMP"
    bl_options = {"UNDO"}

    filename_ext = ".cmp"
    filter_glob: StringProperty(default="*.cmp", options={"HIDDEN"})

    def execute(self, context):
        return _run_reporting(self, lambda: import_.load(
            context, export.full_path(self.filepath), _configured_path(context)))


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
