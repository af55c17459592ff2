#!/usr/bin/env python3
"""Drives the exporter's GTK dialogs from outside, as a user would, each scenario in its
own X server: modelhost --ui gtk on a model, or the dialog driver for one dialog alone.

usage: gtk_x_test.py SCENARIO --modelhost PATH --driver PATH --examples DIR
                     [--cmpinfo PATH] [--shots DIR] [--timeout SECONDS]
       gtk_x_test.py --list      the scenarios, separated by ';'
"""

import argparse
import os
import subprocess
import sys
import threading
import time

from xdesktop import Desktop, TestFailure, wait_until

EXPORT_TITLE = "Export QV CMP"
RESULT_TITLE = "Quorvane CMP Exporter"
EMPTY_CAPTION = "Ahem.. hello? :-)"
EMPTY_TEXT = "The model is empty!  Nothing exported!"
TEMP_STREAM = "___temp.vms"
# Seconds from the last typed key to the Enter that confirms: thrice what the name
# entry needs (see Session.save_as).
TYPING_SETTLES = 0.3

SCENARIOS = {}


def scenario(name):
    def register(function):
        SCENARIOS[name] = function
        return function
    return register


def expect(condition, message):
    if not condition:
        raise TestFailure(message)


class Session:
    """One scenario's desktop, work folder and programs."""

    def __init__(self, desktop, args):
        self.desktop = desktop
        self.args = args
        self.work = os.path.join(desktop.root, "work")
        os.makedirs(self.work)

    def start(self, program, *arguments):
        return subprocess.Popen([program, *arguments], cwd=self.work, env=self.desktop.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def driver_line(self, driver):
        """The driver's next line of output, and a check that none of its windows is on
        screen at that moment: it has left its dialog and waits for its input to end."""
        line = self.read_line(driver)
        shown = self.desktop.visible_windows(pid=driver.pid)
        expect(not shown, f"after {line!r} the driver still shows windows {shown}")
        return line

    def read_line(self, process):
        lines = []
        reader = threading.Thread(target=lambda: lines.append(process.stdout.readline()),
                                  daemon=True)
        reader.start()
        reader.join(self.args.timeout)
        if not lines:
            process.kill()
            raise TestFailure("the program wrote nothing more")
        return lines[0]


    def start_host(self, model, *options):
        return self.start(self.args.modelhost, "--ui", "gtk", *options, model)

    def finish(self, process):
        try:
            out, err = process.communicate(timeout=self.args.timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
            raise TestFailure(f"the program did not end:\n{out}\n{err}")
        sys.stdout.write(out)
        sys.stderr.write(err)
        return process.returncode, out

    def finish_export(self, process, expected_result="0", expected_code=None):
        code, out = self.finish(process)
        expect(f"RunExport returned {expected_result}\n" in out,
               f"expected RunExport to return {expected_result}")
        if expected_code is None:
            expected_code = 0 if expected_result == "0" else 1
        expect(code == expected_code, f"modelhost ended with {code}")

    def path(self, name):
        return os.path.join(self.work, name)

    def example(self, name="ship.obj"):
        return os.path.join(self.args.examples, name)

    def check_tree_file(self, path):
        expect(os.path.isfile(path), f"{path} was not written")
        if self.args.cmpinfo:
            done = subprocess.run([self.args.cmpinfo, "--check", path], capture_output=True,
                                  text=True, timeout=self.args.timeout)
            expect(done.returncode == 0,
                   f"cmpinfo --check {path} failed:\n{done.stdout}{done.stderr}")
        else:
            with open(path, "rb") as tree_file:
                expect(tree_file.read(4) == b"UTF ", f"{path} is no tree file")

    def files(self):
        return sorted(os.listdir(self.work))

    def shot(self, window, name):
        if self.args.shots:
            os.makedirs(self.args.shots, exist_ok=True)
            self.desktop.screenshot(window, os.path.join(self.args.shots, name + ".png"))

    def save_as(self, chooser, pid, typed):
        """Types a name into the save dialog and confirms it."""
        self.desktop.type_text(chooser, typed)
        # GTK's name entry drops an Enter that comes within about a tenth of a second of
        # the last typed key, while it is still looking up completions for it; a user's
        # hand is never that quick.
        time.sleep(TYPING_SETTLES)
        self.confirm(chooser, pid)

    def confirm(self, chooser, pid):
        """Presses Enter in the save dialog until it answers: it closes or opens another
        window. A user whose press went unanswered presses again, after long enough that
        a slow answer to the first press is never taken for no answer."""
        while True:
            self.desktop.key(chooser, "Return")
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                shown = self.desktop.visible_windows(pid=pid)
                if chooser not in shown or len(shown) > 1:
                    return
                time.sleep(0.05)
            print("the save dialog did not answer Enter; pressing it again", file=sys.stderr)


def close_result_dialog(desktop, window, how):
    if how == "continue-click":
        _, _, width, height = desktop.geometry(window)
        desktop.click(window, width // 2, height - 20)
    elif how == "continue-space":
        desktop.key(window, "space")  # presses the focused widget: "Continue"
    elif how == "escape":
        desktop.key(window, "Escape")
    elif how == "enter":
        desktop.key(window, "Return")
    elif how == "enter-in-tree":
        # Enter with the focus in the tree view ends the dialog all the same.
        desktop.key(window, "Tab", "asterisk")
        desktop.key(window, "Return")
    elif how == "close-request":
        desktop.request_close(window)
    else:
        raise ValueError(how)


def export_and_close(session, how):
    """A complete export of the example ship, ending the result dialog by `how`."""
    desktop = session.desktop
    host = session.start_host(session.example())
    chooser = desktop.wait_window(EXPORT_TITLE, host.pid)
    session.save_as(chooser, host.pid, "kestrel")
    result = desktop.wait_window(RESULT_TITLE, host.pid)
    expect(chooser not in desktop.visible_windows(), "the save dialog is still on screen")

    # The tree file is complete and the temporary stream gone before the user sees it.
    target = session.path("kestrel.cmp")
    session.check_tree_file(target)
    expect(TEMP_STREAM not in session.files(), "the temporary stream is still there")
    with open(target, "rb") as tree_file:
        written = tree_file.read()

    screen_width, screen_height = desktop.screen_size()
    x, y, width, height = desktop.geometry(result)
    expect(300 <= width <= 400 and 240 <= height <= 320, f"result dialog is {width} x {height}")
    expect(abs(x + width / 2 - screen_width / 2) <= 2 and
           abs(y + height / 2 - screen_height / 2) <= 2,
           f"result dialog at {x}, {y} is not centred")

    close_result_dialog(desktop, result, how)
    session.finish_export(host)
    with open(target, "rb") as tree_file:
        expect(tree_file.read() == written, "closing the dialog changed the file")
    expect(session.files() == ["kestrel.cmp"], f"files left: {session.files()}")


for closing in ("continue-click", "continue-space", "escape", "enter", "enter-in-tree",
                "close-request"):
    scenario("result-" + closing)(lambda session, how=closing: export_and_close(session, how))


@scenario("save-cancelled")
def save_cancelled(session):
    host = session.start_host(session.example())
    chooser = session.desktop.wait_window(EXPORT_TITLE, host.pid)
    session.desktop.type_text(chooser, "never")
    session.desktop.key(chooser, "Escape")
    session.finish_export(host)
    expect(session.files() == [], f"files left: {session.files()}")


@scenario("save-close-request")
def save_close_request(session):
    host = session.start_host(session.example())
    chooser = session.desktop.wait_window(EXPORT_TITLE, host.pid)
    session.desktop.request_close(chooser)
    session.finish_export(host)
    expect(session.files() == [], f"files left: {session.files()}")


def replace_after_second_thoughts(session, typed):
    """An existing kestrel.cmp: the user declines to replace it, then agrees."""
    desktop = session.desktop
    target = session.path("kestrel.cmp")
    with open(target, "wb") as old:
        old.write(b"older contents")
    host = session.start_host(session.example())
    chooser = desktop.wait_window(EXPORT_TITLE, host.pid)
    session.save_as(chooser, host.pid, typed)

    question = desktop.wait_window(None, host.pid, exclude={chooser})
    session.shot(question, "gtk-overwrite-question")
    desktop.key(question, "Escape")
    desktop.wait_gone(question)
    with open(target, "rb") as old:
        expect(old.read() == b"older contents", "the file was replaced after a no")
    expect(chooser in desktop.visible_windows(), "the save dialog closed after a no")

    session.confirm(chooser, host.pid)  # the name is still typed in
    question = desktop.wait_window(None, host.pid, exclude={chooser})
    desktop.key(question, "Return")  # "Replace" is the default answer
    result = desktop.wait_window(RESULT_TITLE, host.pid)
    session.check_tree_file(target)
    desktop.key(result, "Escape")
    session.finish_export(host)


@scenario("overwrite-typed-extension")
def overwrite_typed_extension(session):
    replace_after_second_thoughts(session, "kestrel.cmp")  # GTK's own question


@scenario("overwrite-added-extension")
def overwrite_added_extension(session):
    replace_after_second_thoughts(session, "kestrel")  # asked again for kestrel.cmp


def save_with_default_extension(session, typed, written):
    """The name typed into the save dialog gets the extension by the Windows dialog's
    rule, shared by every interface: only a name without any dot gets ".cmp"."""
    host = session.start_host(session.example())
    chooser = session.desktop.wait_window(EXPORT_TITLE, host.pid)
    session.save_as(chooser, host.pid, typed)
    result = session.desktop.wait_window(RESULT_TITLE, host.pid)
    session.check_tree_file(session.path(written))
    session.desktop.key(result, "Escape")
    session.finish_export(host)
    expect(session.files() == [written], f"files: {session.files()}")


for name, typed, written in (("plain", "ship", "ship.cmp"), ("hidden", ".hidden", ".hidden"),
                             ("other", "ship.v2", "ship.v2")):
    scenario("default-extension-" + name)(
        lambda session, t=typed, w=written: save_with_default_extension(session, t, w))


@scenario("missing-folder")
def missing_folder(session):
    desktop = session.desktop
    host = session.start_host(session.example())
    chooser = desktop.wait_window(EXPORT_TITLE, host.pid)
    session.save_as(chooser, host.pid, session.path("no-such-folder/kestrel"))
    complaint = desktop.wait_window(None, host.pid, exclude={chooser})
    session.shot(complaint, "gtk-missing-folder")
    desktop.key(complaint, "Return")
    desktop.wait_gone(complaint)
    expect(chooser in desktop.visible_windows(), "the save dialog closed on a missing folder")
    desktop.key(chooser, "Escape")
    session.finish_export(host)
    expect(session.files() == [], f"files left: {session.files()}")


def long_path(session, length):
    """Saves under a path of exactly `length` characters, the last folder made long."""
    stem = os.path.join(session.work, "")
    folder_length = length - len(stem) - len("/k.cmp")
    expect(0 < folder_length <= 255, "the work folder's path is too long for this test")
    folder = stem + "d" * folder_length
    os.mkdir(folder)
    target = os.path.join(folder, "k.cmp")
    expect(len(target) == length, "miscounted")
    host = session.start_host(session.example())
    chooser = session.desktop.wait_window(EXPORT_TITLE, host.pid)
    session.save_as(chooser, host.pid, target)
    return host, chooser, target


@scenario("path-255")
def path_255(session):
    host, _, target = long_path(session, 255)
    result = session.desktop.wait_window(RESULT_TITLE, host.pid)
    session.check_tree_file(target)
    session.desktop.key(result, "Escape")
    session.finish_export(host)


@scenario("path-256")
def path_256(session):
    desktop = session.desktop
    host, chooser, target = long_path(session, 256)
    refusal = desktop.wait_window(EXPORT_TITLE, host.pid, exclude={chooser})
    session.shot(refusal, "gtk-path-too-long")
    desktop.key(refusal, "Return")
    session.finish_export(host)
    expect(not os.path.exists(target), "a path over the limit was written")


def save_as_given(session, given, written, existing=None, overwrite=False):
    """modelhost --ui gtk --save-as GIVEN: the save dialog opens on GIVEN, and the user
    only confirms. With --overwrite an existing file is replaced without a question."""
    desktop = session.desktop
    os.makedirs(session.path("sub"))
    target = session.path(written)
    if existing is not None:
        with open(target, "wb") as old:
            old.write(existing)
    options = ["--save-as", given] + (["--overwrite"] if overwrite else [])
    host = session.start_host(session.example(), *options)
    chooser = desktop.wait_window(EXPORT_TITLE, host.pid)
    session.shot(chooser, "gtk-save-as-given")
    session.confirm(chooser, host.pid)
    result = desktop.wait_window(RESULT_TITLE, host.pid)
    expect(chooser not in desktop.visible_windows(), "the save dialog is still on screen")
    session.check_tree_file(target)
    desktop.key(result, "Escape")
    session.finish_export(host)
    expect(session.files() == ["sub"], f"files beside sub/: {session.files()}")


scenario("save-as-given")(lambda session: save_as_given(session, "sub/kestrel", "sub/kestrel.cmp"))
scenario("save-as-given-absolute")(
    lambda session: save_as_given(session, session.path("sub/kestrel.cmp"), "sub/kestrel.cmp"))
scenario("save-as-given-overwrite")(
    lambda session: save_as_given(session, "sub/kestrel", "sub/kestrel.cmp", b"old", True))


@scenario("save-as-given-cancelled")
def save_as_given_cancelled(session):
    """Cancelling the dialog opened on the --save-as file ends like a refused --save-as:
    nothing written, status 3."""
    host = session.start_host(session.example(), "--save-as", "kestrel.cmp")
    chooser = session.desktop.wait_window(EXPORT_TITLE, host.pid)
    session.desktop.key(chooser, "Escape")
    session.finish_export(host, expected_code=3)
    expect(session.files() == [], f"files left: {session.files()}")


@scenario("empty-model")
def empty_model(session):
    model = session.path("empty.obj")
    with open(model, "w") as obj:
        obj.write("o Nothing\nv 0 0 0\n")  # a point, no faces: no mesh
    host = session.start_host(model)
    box = session.desktop.wait_window(EMPTY_CAPTION, host.pid)
    session.shot(box, "gtk-message-box")
    expect(not session.desktop.visible_windows(EXPORT_TITLE), "the save dialog was shown")
    session.desktop.key(box, "Return")
    session.finish_export(host)
    expect(session.files() == ["empty.obj"], f"files left: {session.files()}")


def message_box_dismissed(session, box_type, how):
    driver = session.start(session.args.driver, "message", box_type, EMPTY_CAPTION, EMPTY_TEXT)
    box = session.desktop.wait_window(EMPTY_CAPTION, driver.pid)
    if box_type == "0x10" and how == "enter":
        session.shot(box, "gtk-error-box")
    if how == "close-request":
        session.desktop.request_close(box)
    else:
        session.desktop.key(box, "Return" if how == "enter" else "Escape")
    expect(session.driver_line(driver) == "dismissed\n", "the message box did not end")
    code, _ = session.finish(driver)  # ends its input
    expect(code == 0, f"driver ended with {code}")


for box_type in ("0x30", "0x10"):
    for how in ("enter", "escape", "close-request"):
        scenario(f"message-{box_type}-{how}")(
            lambda session, t=box_type, h=how: message_box_dismissed(session, t, h))


@scenario("large-tree")
def large_tree(session):
    driver = session.start(session.args.driver, "result", "20000")
    result = session.desktop.wait_window(RESULT_TITLE, driver.pid)
    session.desktop.key(result, "Tab", "asterisk")  # expand all: 40000 rows on show
    session.desktop.key(result, "Escape")
    expect(session.read_line(driver) == "initialised\n", "the tree was not initialised")
    expect(session.driver_line(driver) == "closed\n", "the result dialog did not end")
    code, _ = session.finish(driver)  # ends its input
    expect(code == 0, f"driver ended with {code}")


@scenario("screenshots")
def screenshots(session):
    """The save dialog over a folder with other files, and the result dialog with its
    tree opened, for the documentation."""
    for name in ("hawk.cmp", "OSPREY.CMP", "notes.txt"):
        with open(session.path(name), "wb") as other:
            other.write(b"UTF ")
    host = session.start_host(session.example())
    chooser = session.desktop.wait_window(EXPORT_TITLE, host.pid)
    session.desktop.type_text(chooser, "kestrel")
    session.desktop.wait_still(chooser)  # the chooser updates its buttons after the typing
    session.shot(chooser, "gtk-save-dialog")
    session.confirm(chooser, host.pid)
    result = session.desktop.wait_window(RESULT_TITLE, host.pid)
    session.shot(result, "gtk-result-dialog-collapsed")
    session.desktop.key(result, "Tab", "asterisk", "Home")
    session.shot(result, "gtk-result-dialog")
    session.desktop.key(result, "Return")
    session.finish_export(host)


def driver_without_display(args):
    """Without a display the GTK interface is not created, and nothing blocks."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["GDK_BACKEND"] = "x11"
    done = subprocess.run([args.driver, "save"], env=env, capture_output=True, text=True,
                          timeout=args.timeout)
    expect(done.returncode == 2 and "GTK cannot start" in done.stderr,
           f"driver ended with {done.returncode}: {done.stdout!r} {done.stderr!r}")


def main():
    if sys.argv[1:] == ["--list"]:
        print(";".join(sorted(SCENARIOS) + ["no-display"]))
        return 0
    parser = argparse.ArgumentParser()
    parser.add_argument("scenario", choices=sorted(SCENARIOS) + ["no-display"])
    parser.add_argument("--modelhost", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--cmpinfo")
    parser.add_argument("--shots")
    parser.add_argument("--timeout", type=float, default=120)
    args = parser.parse_args()
    try:
        if args.scenario == "no-display":
            driver_without_display(args)
            print("passed")
            return 0
        with Desktop(args.timeout) as desktop:
            SCENARIOS[args.scenario](Session(desktop, args))
    except TestFailure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
