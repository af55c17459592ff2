# File > Export > Compound model (.cmp): the scene, gathered as Blender shows it
# (scene_file.py), handed to the exporter's plug-in through modelhost, whose words become
# the reports the user reads, in Blender's terms.
import contextlib
import os
import re
import tempfile

import bpy

from . import programs, scene_file, scene_parts


class Refused(Exception):
    """A reason not to export, for the user."""


def _with_extension(path):
    """".cmp" added to a name without any dot, as the exporter's save dialog adds it."""
    folder, name = os.path.split(path)
    return path if "." in name or not name else path + ".cmp"


def full_path(filepath):
    """A path as Blender's exporters take it: "//" from the blend file's folder (refused
    when the blend file has never been saved), any other relative path from the working
    folder."""
    if filepath.startswith("//"):
        if not bpy.data.filepath:
            raise Refused("%s is relative to the blend file, which has not been saved yet: "
                          "save it first, or choose a full path" % filepath)
        filepath = bpy.path.abspath(filepath)
    return os.path.abspath(filepath)


def target_of(filepath):
    """The file to write: full_path, with ".cmp" added to a name without a dot."""
    return _with_extension(full_path(filepath))


def _check_target(target):
    """What the file browser lets through but the export cannot write, in the user's terms
    (the plug-in's own message would name the file it stages)."""
    folder = os.path.dirname(target)
    if not os.path.isdir(folder):
        raise Refused("The folder %s does not exist; nothing was exported" % folder)
    if os.path.isdir(target):
        raise Refused("%s is a folder; choose a file name" % target)
    if not os.access(folder, os.W_OK):
        raise Refused("The folder %s is read-only; nothing was exported" % folder)
    unfit = programs.unfit_for_programs(target)
    if unfit is not None:
        raise Refused("%s: choose a name and folder without them; nothing was exported" % unfit)


def _naming_object(context, written, naming):
    """The --first arguments for the object that names the model: the active one when
    asked and it is in the file, else the first in the file; never a hardpoint while the
    file has anything else."""
    candidates = [name for name in written if not scene_parts.is_hardpoint_name(name)] or written
    active = context.view_layer.objects.active
    if naming == "ACTIVE" and active is not None and active.name in candidates:
        chosen = active.name
    else:
        chosen = candidates[0]
    return ["--first", chosen] if chosen != written[0] else []


@contextlib.contextmanager
def _object_mode(context):
    """Edit Mode left for the export, as Blender's own exporters do (an object being edited
    keeps its edits to itself until then), and entered again afterwards."""
    active = context.view_layer.objects.active
    mode = active.mode if active is not None else "OBJECT"
    if mode != "OBJECT" and bpy.ops.object.mode_set.poll():
        bpy.ops.object.mode_set(mode="OBJECT")
    try:
        yield
    finally:
        if mode != "OBJECT" and context.view_layer.objects.active is active and \
                bpy.ops.object.mode_set.poll():
            bpy.ops.object.mode_set(mode=mode)


# The plug-in's dialog captions and modelhost's closing lines, which say in a host's or a
# command line's terms what the reports say in Blender's.
_CAPTION = re.compile(r"^(Export QV CMP|Error exporting (CMP|VMS) file|Ahem\.\. hello\? :-\))"
                      r": ((Error|Warning|Information): )?")
_STAGED_NAME = re.compile(r"'([^']*)\.[A-Za-z0-9]{6}\.tmp'")
_OPTION_HINT = re.compile(r" \(--first MESH[^)]*\)")


def plain_messages(errors, model_file, existed):
    """modelhost's and the plug-in's messages (standard error), one report each, in the
    terms a Blender user knows: no captions, no command-line options, no temporary files.
    `existed`: whether the target was there before (else the plug-in's note that it is
    unchanged means nothing)."""
    messages = []
    for line in programs.messages_of(errors):
        if line.startswith("the export wrote no file") or \
                line.startswith("Could not open export file for some reason"):
            continue
        line = _CAPTION.sub("", line)
        line = _STAGED_NAME.sub(r"'\1'", line)
        line = _OPTION_HINT.sub("", line)
        line = line.replace(model_file, "the scene")
        if not existed and line == "A file that was already there is unchanged.":
            continue
        if line not in messages:
            messages.append(line)
    return messages


def _count(number, one, many):
    return "%d %s" % (number, one if number == 1 else many)


def _counts(verdict):
    return ", ".join([
        _count(verdict["geometryMeshes"], "geometry mesh", "geometry meshes"),
        _count(verdict["fixedHardpoints"], "Fixed hardpoint", "Fixed hardpoints"),
        _count(verdict["revoluteHardpoints"], "Revolute hardpoint", "Revolute hardpoints"),
        "%d left out" % verdict["leftOut"]])


def _length(metres):
    # Two decimals hide a model made in the wrong unit: small lengths keep three digits.
    if metres is None:
        return "not a number"
    return "%.2f" % metres if abs(metres) >= 0.1 or metres == 0 else "%.3g" % metres


def _size(size):
    """The model's extent in metres, the unit Blender's numbers are in once the scene's
    unit scale is applied."""
    if size is None:
        return "none"
    return " x ".join(_length(value) for value in size["model"]) + " m"


# The most vertices a model file may hold in all, and modelhost a mesh; the format's.
_MAX_VERTICES = 65535


def _too_many_vertices(scene):
    """The refusal of a scene whose geometry the file cannot hold, told in Blender's counts
    (the file's own count, higher where it splits vertices, means nothing in Blender);
    None when it fits."""
    if scene.file_vertices <= _MAX_VERTICES:
        return None
    return ("The model is too large for the file format, nothing was written: the objects "
            "have %s vertices in Blender, and the file splits them where texture seams and "
            "shading part faces; at most %s fit in all ('%s' has the most)"
            % (format(scene.vertices, ","), format(_MAX_VERTICES, ","), scene.largest))


def save(context, settings):
    """Exports the scene as `settings` say (a dict: filepath, use_selection,
    use_modifiers, naming, modelhost_path); returns the reports, as (level, text) pairs,
    the last of which sums up."""
    try:
        target = target_of(settings["filepath"])
        _check_target(target)
        modelhost = programs.find_program("modelhost", settings["modelhost_path"])
        with _object_mode(context):
            return _export(context, settings, target, modelhost)
    except Refused as refusal:
        return [("ERROR", str(refusal))]


def _export(context, settings, target, modelhost):
    selected_only = settings["use_selection"]
    existed = os.path.exists(target)
    with tempfile.TemporaryDirectory(prefix="cmpexport-",
                                     dir=programs.work_folder_parent(target)) as folder:
        model = os.path.join(folder, "model.glb")
        scene = scene_file.write_scene(context, model, selected_only, settings["use_modifiers"],
                                       settings["use_visible"])
        written = scene.objects
        if not written:
            return [("ERROR", "Nothing to export: no %sobject has faces"
                     % ("selected " if selected_only else ""))]
        refusal = _too_many_vertices(scene)
        if refusal is not None:
            return [("ERROR", refusal)]
        # What the scene has that the file cannot: told, never dropped in silence.
        notes = ["object '%s' is named as a hardpoint, but only empties and meshes mark "
                 "hardpoints; it is left out" % name for name in scene.hardpoints_not_written]
        notes += ["object '%s' has no faces; it is left out" % name for name in scene.faceless]
        first = _naming_object(context, written, settings["naming"])

        # One run: the plan, which says why the plug-in would refuse the model in terms a
        # report can put in Blender's, and the export, which the plug-in does not start
        # on a model it refuses. The file browser has asked before replacing a file; the
        # plug-in stages its output and replaces the file only with a complete export.
        plan_file = os.path.join(folder, "plan.json")
        status, _, errors = programs.run(
            [modelhost, "--ui", "console", "--save-as", target, "--overwrite", "--plan",
             plan_file] + first + [model], folder)
        plan = None
        if os.path.isfile(plan_file):
            with open(plan_file, encoding="utf-8") as document:
                plan = programs.plan_of(document.read())
        if plan is None:
            return [("ERROR", text) for text in plain_messages(errors, model, existed)] or [
                ("ERROR", "modelhost could not read the model (status %d)" % status)]
        verdict = plan["export"]
        if verdict["verdict"] == "refused":
            return [("ERROR", "The plug-in refuses the model, nothing was written: "
                     + "; ".join(verdict["reasons"]))]
        if verdict["verdict"] != "export":
            return [("ERROR", "Nothing to export: the model is empty")]
        messages = notes + plain_messages(errors, model, existed)
        if status != 0:
            return [("ERROR", text) for text in messages] or [
                ("ERROR", "the export ended with status %d and wrote nothing" % status)]
        if not os.path.isfile(target):
            return [("ERROR", text) for text in messages] + [
                ("ERROR", "%s was not written" % target)]
        reports = [("WARNING", text) for text in messages]
        name = os.path.basename(target)
        if messages:
            reports.append(("WARNING", "Exported %s with %d warning%s (see Info)"
                            % (name, len(messages), "" if len(messages) == 1 else "s")))
        else:
            reports.append(("INFO", "Exported %s: %s; size %s" % (name, _counts(verdict),
                                                                 _size(plan["size"]))))
        return reports
