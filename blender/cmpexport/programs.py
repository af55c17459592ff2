# The exporter's own programs, which do the work: modelhost runs the plug-in on a model
# file, cmpinfo turns a written file into glTF. Found in the add-on's own bin folder
# (where the Windows zip carries them), else where the add-on's preferences say, else
# where an installed copy keeps them, else on PATH; what they print becomes the reports
# the user reads.
import collections
import json
import ntpath
import os
import posixpath
import shutil
import subprocess
import tempfile

# Through links: a user links the installed package into Blender's add-on folder, and
# the programs belong to the package, not to the link.
ADDON_FOLDER = os.path.dirname(os.path.realpath(__file__))

# An installed copy keeps the add-on in <prefix>/share/cmpexport/blender/cmpexport and the
# programs in <prefix>/bin. A copy installed from a zip into Blender's own add-on folder
# has no such neighbours.
_INSTALLED_LAYOUT = ("share", "cmpexport", "blender", "cmpexport")

# What a program of ours must not inherit from Blender: a display would let the plug-in
# open its dialogs, and the plug-in's own variables would answer its questions for it.
_DROPPED_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "CMPEXPORT_SAVE_AS",
                      "CMPEXPORT_OVERWRITE", "CMPEXPORT_UI", "CMPEXPORT_TRANSCRIPT")

# Python names the flag on Windows only; the value is Windows' own, so that its use can
# be checked anywhere.
_NO_CONSOLE_WINDOW = getattr(subprocess, "CREATE_NO_WINDOW", 0x08000000)


class System(collections.namedtuple("System", "windows path is_program is_folder which")):
    """What the search takes from the system it runs on: whether it is Windows, its path
    functions (ntpath or posixpath), whether a path is a program that can run, whether
    it is a folder, and the program PATH gives for a file name (None when none)."""


def _is_program(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def system_for(os_name=os.name):
    """The system `os_name` (os.name's value: "nt" for Windows) with this machine's files;
    a test replaces the file checks to search a Windows folder from elsewhere."""
    windows = os_name == "nt"
    return System(windows=windows, path=ntpath if windows else posixpath,
                  is_program=_is_program, is_folder=os.path.isdir, which=shutil.which)


def program_file_name(name, windows):
    return name + ".exe" if windows else name


class ProgramNotFound(Exception):
    pass


def unfit_for_programs(path, system=None, codec="mbcs"):
    """Why the programs cannot take `path`, or None when they can. On Windows they take
    names in the system's ANSI code page only (Python's "mbcs", strict: no look-alikes),
    so a name with a character outside it would reach them as another name; elsewhere
    every name fits. `codec` stands in for the code page in tests."""
    system = system or system_for()
    if not system.windows:
        return None
    try:
        path.encode(codec)
    except UnicodeEncodeError:
        return ("'%s' has characters that Windows' ANSI code page lacks, and the exporter's "
                "programs take names only in that code page" % path)
    return None


def work_folder_parent(target, system=None, codec="mbcs"):
    """Where a run's temporary folder goes: the system's temporary folder, unless the
    programs cannot take its name (a Windows user name outside the code page), then the
    folder of `target`, which the export writes to anyway."""
    temporary = tempfile.gettempdir()
    if unfit_for_programs(temporary, system, codec) is None:
        return temporary
    return (system or system_for()).path.dirname(target)


def find_program(name, configured="", system=None, addon_folder=ADDON_FOLDER):
    """The path of `name` (modelhost or cmpinfo), in the first place that has it: the
    add-on's bin folder, the configured path (modelhost's file, beside which cmpinfo is
    looked for, or a folder holding the program), the installed layout the add-on
    belongs to, PATH. Raises ProgramNotFound naming every place looked in."""
    system = system or system_for()
    file_name = program_file_name(name, system.windows)
    looked = []
    for candidate in _candidates(name, file_name, configured, system, addon_folder):
        looked.append(candidate)
        if system.is_program(candidate):
            return candidate
    on_path = system.which(file_name)
    if on_path:
        return on_path
    looked.append("PATH")
    raise ProgramNotFound(
        "%s not found: looked at %s; set its path in the add-on's preferences "
        "(Edit > Preferences > Add-ons > Quorvane CMP Exporter)" % (name, ", ".join(looked)))


def _candidates(name, file_name, configured, system, addon_folder):
    path = system.path
    # The add-on's own programs come first: they are the ones it was made and tested with.
    yield path.join(addon_folder, "bin", file_name)
    if configured:
        chosen = path.abspath(blender_path(configured))
        if system.is_folder(chosen):
            yield path.join(chosen, file_name)
        elif name == "modelhost":
            yield chosen
        else:
            yield path.join(path.dirname(chosen), file_name)
    installed = _installed_bin(addon_folder, path)
    if installed is not None:
        yield path.join(installed, file_name)


def _installed_bin(addon_folder, path):
    tail = path.sep + path.join(*_INSTALLED_LAYOUT)
    # Windows compares paths without regard to case.
    if not path.normcase(addon_folder).endswith(path.normcase(tail)):
        return None
    return path.join(addon_folder[:-len(tail)], "bin")


def blender_path(path):
    """A path from the preferences, where Blender writes '//' for the blend file's folder."""
    try:
        import bpy
        return bpy.path.abspath(path)
    except ImportError:
        return path


def run(arguments, folder):
    """Runs a program unattended in `folder`: no terminal to ask on, no display for
    dialogs, and on Windows no console window flashing up. Returns (status, stdout,
    stderr)."""
    done = subprocess.run(arguments, cwd=folder, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          **run_options(system_for().windows, os.environ))
    decode = lambda data: data.decode("utf-8", errors="replace")
    return done.returncode, decode(done.stdout), decode(done.stderr)


def run_options(windows, environment):
    """subprocess's options for an unattended run from `environment` (a mapping)."""
    # Windows' variable names know no case.
    fold = str.upper if windows else str
    options = {"env": {name: value for name, value in environment.items()
                       if fold(name) not in _DROPPED_VARIABLES}}
    if windows:
        options["creationflags"] = _NO_CONSOLE_WINDOW
    return options


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
