# The exporter's own programs, which do the work: modelhost runs the plug-in on a model
# file, cmpinfo turns a written file into glTF. Found where the add-on's preferences say,
# else where an installed copy keeps them, else on PATH; what they print becomes the
# reports the user reads.
import json
import os
import shutil
import subprocess

# An installed copy keeps the add-on in <prefix>/share/cmpexport/blender/cmpexport and the
# programs in <prefix>/bin. A copy installed from the zip into Blender's own add-on folder
# has no such neighbours.
# Through links: a user links the installed package into Blender's add-on folder.
_ADDON_FOLDER = os.path.dirname(os.path.realpath(__file__))
_INSTALLED_LAYOUT = os.path.join("share", "cmpexport", "blender", "cmpexport")


def _installed_bin():
    if not _ADDON_FOLDER.endswith(os.sep + _INSTALLED_LAYOUT):
        return None
    prefix = _ADDON_FOLDER[:-len(_INSTALLED_LAYOUT) - 1]
    return os.path.join(prefix, "bin")


class ProgramNotFound(Exception):
    pass


def find_program(name, configured=""):
    """The path of `name` (modelhost or cmpinfo): the configured path (a file, or a folder
    holding it), else the installed layout beside the add-on, else PATH. Raises
    ProgramNotFound naming every place looked in."""
    looked = []
    if configured:
        path = bpy_abspath(configured)
        if os.path.isfile(path) and name == "modelhost":
            candidate = path
        else:
            # A folder, or modelhost's path when cmpinfo is wanted: it lives beside it.
            folder = path if os.path.isdir(path) else os.path.dirname(path)
            candidate = os.path.join(folder, name)
        looked.append(candidate)
        if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    if _installed_bin() is not None:
        installed = os.path.join(_installed_bin(), name)
        looked.append(installed)
        if os.path.isfile(installed) and os.access(installed, os.X_OK):
            return installed
    on_path = shutil.which(name)
    looked.append("PATH")
    if on_path:
        return on_path
    raise ProgramNotFound(
        "%s not found: looked at %s; set its path in the add-on's preferences "
        "(Edit > Preferences > Add-ons > Quorvane CMP Exporter)" % (name, ", ".join(looked)))


def bpy_abspath(path):
    """A path from the preferences, where Blender writes '//' for the blend file's folder."""
    try:
        import bpy
        return os.path.abspath(bpy.path.abspath(path))
    except ImportError:
        return os.path.abspath(path)


def run(arguments, folder):
    """Runs a program unattended in `folder`: no terminal to ask on, no display for
    dialogs. Returns (status, stdout, stderr)."""
    environment = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "CMPEXPORT_SAVE_AS", "CMPEXPORT_OVERWRITE",
                 "CMPEXPORT_UI", "CMPEXPORT_TRANSCRIPT"):
        environment.pop(name, None)
    done = subprocess.run(arguments, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    decode = lambda data: data.decode("utf-8", errors="replace")
    return done.returncode, decode(done.stdout), decode(done.stderr)


def _lines(text):
    return [line for line in text.splitlines() if line.strip()]


def plan_of(listing):
    """The plan `modelhost --list --json` prints (README: "The plan for programs"), or None
    when the output is not such a plan."""
    try:
        plan = json.loads(listing)
    except ValueError:
        return None
    return plan if isinstance(plan, dict) and plan.get("format") == 1 else None


def messages_of(errors):
    """modelhost's and the plug-in's messages, one per line, without modelhost's prefix."""
    return [line[len("modelhost: "):] if line.startswith("modelhost: ") else line
            for line in _lines(errors)]
