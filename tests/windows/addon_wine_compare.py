#!/usr/bin/env python3
"""The Blender add-on with the Windows programs under Wine against the add-on with the
Linux ones, in one Blender session (tests/blender/addon_wine_session.py): the same
exports must give the same operator result and reports (paths aside, which Windows
spells its own way) and byte for byte the same .cmp files, and the same files imported
back must leave exactly the same objects, vertices, triangles and hardpoints in Blender.

    addon_wine_compare.py LINUX_BIN WINDOWS_BIN ADDON_ZIP

LINUX_BIN holds modelhost, cmpinfo and the plug-in, WINDOWS_BIN modelhost.exe,
cmpinfo.exe and the DLLs. The add-on reaches the Windows programs through two scripts
named modelhost and cmpinfo that run them under Wine, in a folder set as its
preference; every path the session uses has spaces in it. Needs WINEPREFIX and a
display: Windows always has a desktop, where a dialog the program failed to answer would
wait for a click, so the scripts give Wine back the display the add-on hides from its
programs. Prints one line per check and exits 1 when any fails."""
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

from modelhost_compare import linux_form

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SESSION = os.path.join(ROOT, "tests", "blender", "addon_wine_session.py")

# The exports each route makes of the ship, and those of scenes the plug-in warns about
# or refuses; the ones that reach modelhost, each run once.
SHIP_EXPORTS = ("ship", "replaced", "replaced again", "read-only target")
FAILING_EXPORTS = ("left out", "over the limits", "not finite")

# Wine as scripts/test-windows.sh sets it up: the variables the programs need and the
# add-on passes on, and the display it hides from them.
WINE_VARIABLES = ("WINEPREFIX", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES", "DISPLAY")


def write_wine_programs(folder, windows_bin, calls_log):
    """modelhost and cmpinfo as the add-on finds them on Linux: scripts that run the
    Windows program of that name under Wine, and note each run in `calls_log`."""
    os.makedirs(folder)
    variables = " ".join("%s=%s" % (name, shlex.quote(os.environ[name]))
                         for name in WINE_VARIABLES)
    for name in ("modelhost", "cmpinfo"):
        path = os.path.join(folder, name)
        with open(path, "w") as script:
            script.write("#!/bin/sh\n"
                         "echo %s >>%s\n"
                         "%s exec wine %s \"$@\"\n"
                         % (name, shlex.quote(calls_log), variables,
                            shlex.quote(os.path.join(windows_bin, name + ".exe"))))
        os.chmod(path, 0o755)


def run_session(zip_path, linux_bin, wine_programs, folder):
    out = os.path.join(folder, "out")
    for sub in ("out", "tmp", "user"):
        os.makedirs(os.path.join(folder, sub))
    # User and temporary folders of the session's own: no real user's add-ons touched,
    # and whatever the add-on leaves behind shows.
    # Another Python on the path can lend Blender its library folders.
    environment = dict(os.environ, PATH="/usr/local/bin:/usr/bin:/bin",
                       TMPDIR=os.path.join(folder, "tmp"),
                       BLENDER_USER_SCRIPTS=os.path.join(folder, "user"),
                       BLENDER_USER_CONFIG=os.path.join(folder, "user", "config"))
    for name in ("PYTHONPATH", "PYTHONHOME"):
        environment.pop(name, None)
    command = ["blender", "--background", "--factory-startup", "--python-exit-code", "1",
               "--python", SESSION, "--", zip_path, out,
               "linux=" + linux_bin, "windows=" + wine_programs]
    with open(os.path.join(folder, "blender.log"), "wb") as log:
        done = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL,
                              stdout=log, stderr=subprocess.STDOUT, timeout=300)
    if done.returncode != 0 or not os.path.isfile(os.path.join(out, "session.json")):
        with open(os.path.join(folder, "blender.log"), encoding="utf-8",
                  errors="replace") as log:
            sys.stdout.write(log.read())
        return None
    with open(os.path.join(out, "session.json"), encoding="utf-8") as document:
        return json.load(document)


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, good, label, *details):
        if good:
            self.passed += 1
            print("same       %s" % label)
        else:
            self.failed += 1
            print("DIFFERENT  %s" % label)
            for detail in details:
                print("  " + detail)


def wine_spelling(path):
    """An absolute Linux path as a Windows program under Wine sees it: on drive Z."""
    return "Z:" + path.replace("/", "\\")


def comparable(call, route_folder=None):
    """An operator call as the user sees it, with what rightly differs between the routes
    taken out: the route's own folder (in either spelling, the names in it with either
    separator), and Wine's Z:\\ spelling of other paths."""
    def plain(text):
        if route_folder is not None:
            for spelling in (wine_spelling(route_folder) + "\\", route_folder + "/"):
                text = text.replace(spelling, "<folder>/")
        return linux_form(text, route_folder)
    return {"result": call["result"], "leftovers": call["leftovers"],
            "reports": [[level, plain(text)] for level, text in call["reports"]]}


def first_difference(a, b, where=""):
    """Where two JSON values first differ, and how."""
    if type(a) is not type(b):
        return "%s: %r against %r" % (where or "top", a, b)
    if isinstance(a, dict):
        for key in sorted(set(a) | set(b)):
            if key not in a or key not in b:
                return "%s/%s: only in one" % (where, key)
            found = first_difference(a[key], b[key], "%s/%s" % (where, key))
            if found:
                return found
    elif isinstance(a, list):
        if len(a) != len(b):
            return "%s: %d items against %d" % (where, len(a), len(b))
        for i, (x, y) in enumerate(zip(a, b)):
            found = first_difference(x, y, "%s[%d]" % (where, i))
            if found:
                return found
    elif a != b:
        return "%s: %r against %r" % (where, a, b)
    return None


def read_bytes(path):
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as file:
        return file.read()


def compare_exports(checks, session, out):
    folders = {route: os.path.join(out, route + " route") for route in ("linux", "windows")}
    cases = [(name, session["exports"][r][name], r) for name in SHIP_EXPORTS
             for r in folders] + \
            [(name, session["failing exports"][r][name], r) for name in FAILING_EXPORTS
             for r in folders]
    seen = {}
    for name, call, route in cases:
        seen.setdefault(name, {})[route] = comparable(call, folders[route])
    for name, routes in seen.items():
        linux, windows = routes["linux"], routes["windows"]
        checks.check(linux == windows, "export %s: %s %s" % (
            name, linux["result"], linux["reports"][-1] if linux["reports"] else "no report"),
            "Linux:   %r" % linux, "Windows: %r" % windows)

    # The comparison means something only where the Linux route did what it should.
    ship = seen["ship"]["linux"]
    whole = "Exported ship one.cmp: 10 geometry meshes, 2 Fixed hardpoints, 1 Revolute " \
        "hardpoint, 0 left out; size "
    checks.check(ship["result"] == ["FINISHED"] and len(ship["reports"]) == 1 and
                 ship["reports"][0][1].startswith(whole),
                 "the Linux route exports the whole ship", repr(ship))
    checks.check(seen["left out"]["linux"]["result"] == ["FINISHED"] and
                 seen["over the limits"]["linux"]["result"] == ["RAISED"] and
                 seen["not finite"]["linux"]["result"] == ["RAISED"],
                 "the Linux route warns and refuses where it should")

    for name in ("ship one.cmp", "ship again.cmp", "left out.cmp", "locked.cmp"):
        linux, windows = (read_bytes(os.path.join(folders[r], name)) for r in folders)
        checks.check(linux is not None and linux == windows,
                     "file %s (%s bytes)" % (name, len(linux) if linux else "no"),
                     "Windows: %s bytes" % (len(windows) if windows else "no"))
    checks.check(read_bytes(os.path.join(folders["windows"], "locked.cmp")) ==
                 b"the user's read-only file", "the user's read-only file is unchanged")
    for name in ("over the limits.cmp", "not finite.cmp"):
        checks.check(not any(os.path.exists(os.path.join(f, name)) for f in folders.values()),
                     "no %s written by either route" % name)


def compare_imports(checks, session, out):
    imports = session["imports"]
    refused = {r: comparable(imports[r]["refused"], os.path.join(out, r + " route"))
               for r in ("linux", "windows")}
    checks.check(refused["linux"] == refused["windows"] and
                 refused["linux"]["result"] == ["RAISED"], "import of a file that is no tree "
                 "file: %s" % (refused["linux"]["reports"],),
                 "Linux:   %r" % refused["linux"], "Windows: %r" % refused["windows"])
    linux, windows = (comparable(imports[r]) for r in ("linux", "windows"))
    checks.check(linux == windows, "import: %s %s" % (linux["result"], linux["reports"]),
                 "Linux:   %r" % linux, "Windows: %r" % windows)
    checks.check(linux["reports"] == [["INFO", "Imported ship one.cmp: 1 mesh, 3 hardpoints"]],
                 "the Linux route imports the ship", repr(linux))
    held = imports["linux"]["held"]
    difference = first_difference(held, imports["windows"]["held"])
    meshes = [o for o in held if o["type"] == "MESH"]
    hardpoints = [o["name"] for o in held if o["type"] == "EMPTY" and o.get("kind")]
    checks.check(difference is None, "imported into Blender: %d objects, %s vertices, %s "
                 "triangles, hardpoints %s" % (
                     len(held), sum(len(m["positions"]) // 3 for m in meshes),
                     sum(len(m["triangles"]) // 3 for m in meshes), ", ".join(hardpoints)),
                 "first difference (Linux against Windows): %s" % difference)
    checks.check(len(hardpoints) == 3 and meshes and meshes[0]["triangles"],
                 "the imported ship has its mesh and three hardpoints")


def check_calls(checks, calls_log):
    """The Windows route really ran the Windows programs: each export that reached
    modelhost once, each import cmpinfo once."""
    with open(calls_log) as log:
        calls = log.read().split()
    wanted = len(SHIP_EXPORTS) + len(FAILING_EXPORTS)
    checks.check(calls.count("modelhost") == wanted and calls.count("cmpinfo") == 2,
                 "the Windows route ran modelhost.exe %d times, cmpinfo.exe twice" % wanted,
                 "ran: %s" % calls)


def main():
    linux_bin, windows_bin, zip_path = sys.argv[1:4]
    for name in WINE_VARIABLES:
        if name not in os.environ:
            print("%s is not set: run from scripts/test-windows.sh" % name)
            return 1
    scratch = tempfile.mkdtemp(prefix="addon-wine-")
    try:
        folder = os.path.join(scratch, "a Blender user's folder")
        calls_log = os.path.join(folder, "wine calls.txt")
        wine_programs = os.path.join(folder, "wine programs")
        write_wine_programs(wine_programs, os.path.abspath(windows_bin), calls_log)
        started = time.monotonic()
        session = run_session(os.path.abspath(zip_path), os.path.abspath(linux_bin),
                              wine_programs, folder)
        took = time.monotonic() - started
        if session is None:
            print("the Blender session failed")
            return 1
        checks = Checks()
        compare_exports(checks, session, os.path.join(folder, "out"))
        compare_imports(checks, session, os.path.join(folder, "out"))
        check_calls(checks, calls_log)
        print("add-on through Wine against the add-on on Linux: %d same, %d different "
              "(Blender session %.0f s)" % (checks.passed, checks.failed, took))
        return 0 if checks.failed == 0 else 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
