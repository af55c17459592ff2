#!/usr/bin/env python3
"""modelhost.exe under Wine against the Linux modelhost: the same runs of both, on the same
glTF files, must give the same exit status, the same words on standard output and error
(paths aside, which Windows spells its own way), the same plan, and byte for byte the
same .cmp file.

    modelhost_compare.py LINUX_BIN WINDOWS_BIN MODEL.glb...

The first model is run with every case below, the others with the list, the plan and the
export.

LINUX_BIN holds modelhost and its plug-in, WINDOWS_BIN modelhost.exe and its DLLs. Runs
in a scratch folder under /tmp, which Wine sees as Z:\\tmp\\...; needs WINEPREFIX set and
a display (the result dialog is made unseen, but made). Prints one line per check and
exits 1 when any differs."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

# (name, arguments after the program, files that must exist first: name -> source).
# MODEL is the model file copied into the folder; every run starts from a fresh folder.
CASES = [
    ("list", ["--list", "MODEL"], {}),
    ("list-json", ["--list", "--json", "MODEL"], {}),
    ("export", ["--save-as", "out.cmp", "MODEL"], {}),
    ("export-plan", ["--save-as", "out.cmp", "--plan", "plan.json", "MODEL"], {}),
    ("exists", ["--save-as", "out.cmp", "MODEL"], {"out.cmp": b"mine"}),
    ("overwrite", ["--save-as=out.cmp", "--overwrite", "MODEL"], {"out.cmp": b"mine"}),
    ("no-extension", ["--save-as", "named", "MODEL"], {}),
    ("first-missing", ["--first", "NoSuchMesh", "--list", "MODEL"], {}),
    ("onto-model", ["--save-as", "MODEL", "--overwrite", "MODEL"], {}),
    ("plan-onto-model", ["--save-as", "out.cmp", "--plan", "MODEL", "MODEL"], {}),
    ("missing-model", ["--list", "absent.glb"], {}),
    ("folder-missing", ["--save-as", "nowhere/out.cmp", "MODEL"], {}),
    ("bad-option", ["--frobnicate", "MODEL"], {}),
    ("json-alone", ["--json", "MODEL"], {}),
    ("version", ["--version"], {}),
]
# Runs whose model is chosen by the case, not the file under test.
MODEL_FREE = {"missing-model", "bad-option", "version"}
# What every model after the first is run with: the export and its plan. The other
# outcomes depend on the options, not on the model, and the first model shows them.
EVERY_MODEL = {"list", "list-json", "export"}

WINDOWS_PATH = re.compile(r"[A-Z]:\\[^\s'\"]*")


def linux_form(text, folder):
    """Windows' spelling of the paths in `text` as Linux spells them: Z:\\tmp\\a\\b is
    /tmp/a/b, since Wine's drive Z is the root folder."""
    def unix(match):
        path = match.group(0)
        return path[2:].replace("\\", "/") if path[0] == "Z" else path
    return WINDOWS_PATH.sub(unix, text)


def plain(text, folder, plugin):
    """The run's words with what rightly differs taken out: the plug-in's file, and the
    scratch folder."""
    text = text.replace(plugin, "<plug-in>")
    return text.replace(folder, "<folder>")


def run(program, arguments, folder, wine):
    environment = dict(os.environ)
    for name in ("CMPEXPORT_UI", "CMPEXPORT_SAVE_AS", "CMPEXPORT_OVERWRITE",
                 "CMPEXPORT_TRANSCRIPT"):
        environment.pop(name, None)
    if not wine:
        environment.pop("DISPLAY", None)
        environment.pop("WAYLAND_DISPLAY", None)
    command = (["wine", program] if wine else [program]) + arguments
    done = subprocess.run(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    return done.returncode, done.stdout.decode("utf-8", "replace"), \
        done.stderr.decode("utf-8", "replace")


def outcome(program, arguments, model, prepared, wine):
    folder = tempfile.mkdtemp(prefix="modelhost-compare-", dir="/tmp")
    try:
        shutil.copy(model, os.path.join(folder, os.path.basename(model)))
        for name, content in prepared.items():
            with open(os.path.join(folder, name), "wb") as file:
                file.write(content)
        os.mkdir(os.path.join(folder, "sub"))
        status, out, err = run(program, arguments, folder, wine)
        files = {}
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                with open(path, "rb") as file:
                    files[name] = file.read()
        if wine:
            out, err = linux_form(out, folder), linux_form(err, folder)
        return status, out, err, files, folder
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def comparable(status, out, err, files, folder, plugin):
    out, err = plain(out, folder, plugin), plain(err, folder, plugin)
    # The usage after a usage error tells each program's own formats and dialogs.
    err = err.split("\n\nusage: ")[0]
    if "plan.json" in files or out.startswith("{"):
        # The plan names the plug-in's file, which differs by platform.
        def without_plugin(text):
            plan = json.loads(text)
            plan["plugIn"]["file"] = "<plug-in>"
            return json.dumps(plan, sort_keys=True)
        if out.startswith("{"):
            out = without_plugin(out)
        if files.get("plan.json", b"").startswith(b"{"):
            files = dict(files, **{"plan.json": without_plugin(files["plan.json"].decode())})
    return status, out, err, files


def main():
    linux_bin, windows_bin = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    models = [os.path.abspath(model) for model in sys.argv[3:]]
    linux = os.path.join(linux_bin, "modelhost")
    windows = os.path.join(windows_bin, "modelhost.exe")
    linux_plugin = os.path.realpath(os.path.join(linux_bin, "libcmpexport.so"))
    windows_plugin = os.path.realpath(os.path.join(windows_bin, "cmpexport.dll"))
    same = different = 0
    for model in models:
        name = os.path.basename(model)
        for case, arguments, prepared in CASES:
            if model != models[0] and case not in EVERY_MODEL:
                continue
            arguments = [name if a == "MODEL" else a for a in arguments]
            a = comparable(*outcome(linux, arguments, model, prepared, False), linux_plugin)
            b = comparable(*outcome(windows, arguments, model, prepared, True), windows_plugin)
            label = "%s %s" % (name, case)
            if a == b:
                same += 1
                print("same       %s (exit %d%s)" % (
                    label, a[0], ", %d bytes" % len(a[3]["out.cmp"]) if "out.cmp" in a[3]
                    and a[3]["out.cmp"] != b"mine" else ""))
                continue
            different += 1
            print("DIFFERENT  %s" % label)
            for what, x, y in (("exit status", a[0], b[0]), ("stdout", a[1], b[1]),
                               ("stderr", a[2], b[2])):
                if x != y:
                    print("  %s:\n    Linux:   %r\n    Windows: %r" % (what, x, y))
            for file in sorted(set(a[3]) | set(b[3])):
                if a[3].get(file) != b[3].get(file):
                    print("  file %s differs (%s / %s bytes)" % (
                        file, len(a[3].get(file, b"")), len(b[3].get(file, b""))))
    print("modelhost.exe against modelhost: %d same, %d different" % (same, different))
    return 0 if different == 0 and same > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
