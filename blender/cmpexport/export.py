# File > Export > Compound model (.cmp): the scene, gathered as Blender shows it
# (scene_file.py), handed to the exporter's plug-in through modelhost, whose words become
# the reports the user reads.
import os
import tempfile

from . import programs, scene_file


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


def save(context, settings):
    """Exports the scene as `settings` say (a dict: filepath, use_selection,
    use_modifiers, naming, modelhost_path); returns the reports, as (level, text) pairs."""
    target = _with_extension(settings["filepath"])
    selected_only = settings["use_selection"]
    modelhost = programs.find_program("modelhost", settings["modelhost_path"])
    with tempfile.TemporaryDirectory(prefix="cmpexport-") as folder:
        model = os.path.join(folder, "model.glb")
        written = scene_file.write_model_file(context, model, selected_only,
                                              settings["use_modifiers"])
        if not written:
            return [("ERROR", "Nothing to export: no %sobject has faces"
                     % ("selected " if selected_only else ""))]
        first = _naming_object(context, written, settings["naming"])

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
