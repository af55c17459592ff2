# Where the add-on finds modelhost and cmpinfo, without Blender: the order of the places,
# the preference as a file or a folder, Windows' names and paths (searched here with
# ntpath over a made-up folder tree, as on a Windows machine), and what a user reads when
# nothing is found.
#
#   python3 tests/blender/programs_test.py
import os
import shutil
import stat
import sys
import tempfile
import unittest

# No compiled copy left in the add-on's source folder.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "blender", "cmpexport"))
import programs  # noqa: E402  (from the add-on's folder)

PREFERENCES_HINT = ("; set its path in the add-on's preferences "
                    "(Edit > Preferences > Add-ons > Quorvane CMP Exporter)")


class LinuxFolders(unittest.TestCase):
    """Real files in a scratch folder with spaces in its names: the add-on installed in
    an installed copy's layout (so that all four places are there to look in), a folder
    the preference may name, and a folder on PATH; a fresh one for each case."""

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="cmpexport programs ")

    def tearDown(self):
        shutil.rmtree(self.scratch)

    def lay_out(self):
        root = tempfile.mkdtemp(dir=self.scratch)
        prefix = os.path.join(root, "my prefix")
        self.addon = os.path.join(prefix, "share", "cmpexport", "blender", "cmpexport")
        self.folders = {"bundled": os.path.join(self.addon, "bin"),
                        "preference": os.path.join(root, "my tools"),
                        "installed": os.path.join(prefix, "bin"),
                        "PATH": os.path.join(root, "on path")}
        for folder in self.folders.values():
            os.makedirs(folder)
        path = self.folders["PATH"]
        self.system = programs.system_for("posix")._replace(
            which=lambda name: shutil.which(name, path=path))

    def place(self, where, name, executable=True):
        path = os.path.join(self.folders[where], name)
        with open(path, "w") as program:
            program.write("#!/bin/sh\n")
        os.chmod(path, stat.S_IRWXU if executable else stat.S_IRUSR | stat.S_IWUSR)

    def test_the_first_place_holding_the_program_wins(self):
        modelhost_file = "preference/modelhost"
        # (what, wanted, where the programs are, the preference, where it is found)
        table = [
            ("the bundled folder before all others", "modelhost",
             ["bundled", "preference", "installed", "PATH"], modelhost_file, "bundled"),
            ("a bundled file that cannot run is passed over", "modelhost",
             ["bundled-unrunnable", "installed"], "", "installed"),
            ("the preference as modelhost's file", "modelhost",
             ["preference", "installed", "PATH"], modelhost_file, "preference"),
            ("the preference as the folder holding it", "modelhost",
             ["preference", "installed", "PATH"], "preference/", "preference"),
            ("cmpinfo beside the preferred modelhost", "cmpinfo",
             ["preference", "installed", "PATH"], modelhost_file, "preference"),
            ("a preference without the program falls through to the installed copy",
             "modelhost",
             ["installed", "PATH"], modelhost_file, "installed"),
            ("PATH last", "cmpinfo", ["PATH"], "", "PATH"),
        ]
        for what, wanted, places, configured, expected in table:
            with self.subTest(what):
                self.lay_out()
                for where in places:
                    where, _, unrunnable = where.partition("-")
                    self.place(where, wanted, executable=not unrunnable)
                if configured:
                    where, _, rest = configured.partition("/")
                    configured = os.path.join(self.folders[where], rest)
                found = programs.find_program(wanted, configured, self.system, self.addon)
                self.assertEqual(found, os.path.join(self.folders[expected], wanted))


# A Windows machine's files, as the add-on sees them there.
ADDON = (r"C:\Users\Ann Lee\AppData\Roaming\Blender Foundation\Blender\3.6\scripts\addons"
         r"\cmpexport")
BUNDLED = ADDON + r"\bin"
TOOLS = r"D:\Game Tools\cmp export"
INSTALLED_ADDON = r"C:\Program Files\cmpexport\share\cmpexport\blender\cmpexport"
# The same folder as Windows may spell it: its paths know no case.
INSTALLED_ADDON_CASED = r"C:\Program Files\CMPExport\Share\CMPExport\Blender\cmpexport"
INSTALLED = r"C:\Program Files\cmpexport\bin"
INSTALLED_CASED = r"C:\Program Files\CMPExport\bin"
ON_PATH = r"C:\Tools"


class WindowsFolders(unittest.TestCase):
    @staticmethod
    def windows(programs_there):
        def which(name):
            path = ON_PATH + "\\" + name
            return path if path in programs_there else None

        return programs.system_for("nt")._replace(
            is_program=lambda path: path in programs_there,
            is_folder=lambda path: path == TOOLS, which=which)

    def test_programs_are_found_by_their_exe_names(self):
        # (what, wanted, the programs there, the preference, the add-on's folder, found)
        table = [
            ("the bundled folder before all others", "modelhost",
             [BUNDLED + r"\modelhost.exe", TOOLS + r"\modelhost.exe", ON_PATH + r"\modelhost.exe"],
             TOOLS + r"\modelhost.exe", ADDON, BUNDLED + r"\modelhost.exe"),
            ("a program without .exe is none", "modelhost",
             [BUNDLED + r"\modelhost", TOOLS + r"\modelhost.exe"], TOOLS, ADDON,
             TOOLS + r"\modelhost.exe"),
            ("the preference as the file, on another drive", "modelhost",
             [TOOLS + r"\modelhost.exe"], TOOLS + r"\modelhost.exe", ADDON,
             TOOLS + r"\modelhost.exe"),
            ("cmpinfo beside the preferred modelhost", "cmpinfo", [TOOLS + r"\cmpinfo.exe"],
             TOOLS + r"\modelhost.exe", ADDON, TOOLS + r"\cmpinfo.exe"),
            ("the preference as a folder with a trailing backslash", "modelhost",
             [TOOLS + r"\modelhost.exe"], TOOLS + "\\", ADDON, TOOLS + r"\modelhost.exe"),
            ("the preference with forward slashes", "cmpinfo", [TOOLS + r"\cmpinfo.exe"],
             TOOLS.replace("\\", "/") + "/modelhost.exe", ADDON, TOOLS + r"\cmpinfo.exe"),
            ("the installed copy, its folders' names in other case", "modelhost",
             [INSTALLED_CASED + r"\modelhost.exe"], "", INSTALLED_ADDON_CASED,
             INSTALLED_CASED + r"\modelhost.exe"),
            ("PATH", "cmpinfo", [ON_PATH + r"\cmpinfo.exe"], "", ADDON,
             ON_PATH + r"\cmpinfo.exe"),
        ]
        for what, wanted, there, configured, addon, expected in table:
            with self.subTest(what):
                system = self.windows(there)
                self.assertEqual(programs.find_program(wanted, configured, system, addon),
                                 expected)

    def test_not_found_names_every_place_looked_in(self):
        table = [
            ("a preferred modelhost, cmpinfo wanted", "cmpinfo", TOOLS + r"\modelhost.exe",
             ADDON, [BUNDLED + r"\cmpinfo.exe", TOOLS + r"\cmpinfo.exe"]),
            ("an installed copy", "modelhost", TOOLS, INSTALLED_ADDON,
             [INSTALLED_ADDON + r"\bin\modelhost.exe", TOOLS + r"\modelhost.exe",
              INSTALLED + r"\modelhost.exe"]),
        ]
        for what, wanted, configured, addon, looked in table:
            with self.subTest(what):
                system = self.windows([])
                with self.assertRaises(programs.ProgramNotFound) as raised:
                    programs.find_program(wanted, configured, system, addon)
                self.assertEqual(str(raised.exception), "%s not found: looked at %s, PATH%s" % (
                    wanted, ", ".join(looked), PREFERENCES_HINT))


class RunOptions(unittest.TestCase):
    def test_a_run_is_unattended_and_windowless(self):
        environment = {"PATH": "/usr/bin", "HOME": "/home/ann", "DISPLAY": ":0",
                       "WAYLAND_DISPLAY": "wayland-0", "CMPEXPORT_SAVE_AS": "x.cmp",
                       "CMPEXPORT_OVERWRITE": "1", "CMPEXPORT_UI": "gtk",
                       "CMPEXPORT_TRANSCRIPT": "t.txt", "display": "kept on Linux"}
        # (what, Windows, the environment, the variables left, console window flags)
        table = [
            ("Linux", False, environment, {"PATH", "HOME", "display"}, None),
            ("Windows", True, environment, {"PATH", "HOME"}, 0x08000000),
            # Windows hands its variables to Python in its own spelling.
            ("Windows, names in other case", True,
             {"Path": r"C:\Windows", "Cmpexport_Ui": "win32"}, {"Path"}, 0x08000000),
        ]
        for what, windows, given, left, flags in table:
            with self.subTest(what):
                options = programs.run_options(windows, given)
                self.assertEqual(set(options["env"]), left)
                self.assertEqual(options.get("creationflags"), flags)


class CodePage(unittest.TestCase):
    """Names the Windows programs cannot take, with Western Windows' code page 1252 for the
    system's: refused by name, and the temporary folder moved beside the target."""

    def test_names_outside_the_code_page(self):
        windows = programs.system_for("nt")
        # (what, system, path, unfit)
        table = [
            ("accented, in the code page", windows, r"C:\Users\José\ship.cmp", False),
            ("Greek, outside it", windows, r"C:\Users\Ωmega\ship.cmp", True),
            ("Polish, whose look-alikes would name another file", windows,
             r"C:\Modele\Łódź.cmp", True),
            ("anything on Linux", programs.system_for("posix"), "/home/Ωmega/ship.cmp", False),
        ]
        for what, system, path, unfit in table:
            with self.subTest(what):
                why = programs.unfit_for_programs(path, system, "cp1252")
                self.assertEqual(why is not None, unfit, why)
                if unfit:
                    self.assertIn(path, why)

    def test_the_work_folder_moves_beside_the_target_when_the_temporary_one_is_unfit(self):
        windows = programs.system_for("nt")
        target = r"C:\Models\ship.cmp"
        saved = tempfile.tempdir
        try:
            for temporary, parent in ((r"C:\Users\Ann\Temp", r"C:\Users\Ann\Temp"),
                                      (r"C:\Users\Ωmega\Temp", r"C:\Models")):
                with self.subTest(temporary):
                    tempfile.tempdir = temporary
                    self.assertEqual(programs.work_folder_parent(target, windows, "cp1252"),
                                     parent)
        finally:
            tempfile.tempdir = saved


if __name__ == "__main__":
    unittest.main()
