"""A private X server and the user's hands in it: find windows, type, press keys,
click, ask a window to close, take screenshots. For the GTK dialog tests."""

import ctypes
import ctypes.util
import os
import re
import select
import shutil
import subprocess
import tempfile
import time


class TestFailure(Exception):
    pass


def wait_until(what, probe, timeout, interval=0.1):
    """Polls `probe` until it returns something true; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TestFailure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


class Desktop:
    """An Xvfb server on a free display, with a throw-away home for the programs
    started in it. Use as a context manager."""

    def __init__(self, timeout):
        self.timeout = timeout
        self.root = tempfile.mkdtemp(prefix="gtk-x-test-")
        self.server = None
        self.env = None
        self._root_window = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        server_log = open(os.path.join(self.root, "xvfb.log"), "wb")
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=server_log, stderr=server_log)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + self.timeout
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], 1.0)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
            if self.server.poll() is not None or time.monotonic() > deadline:
                break
        os.close(read_end)
        if not number.strip():
            self.__exit__(None, None, None)
            raise TestFailure("Xvfb did not start")
        self.env = self._environment(":" + number.decode().strip())
        return self

    def __exit__(self, *exc):
        if self.server is not None:
            self.server.terminate()
            try:
                self.server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait()
        if os.environ.get("GTK_X_TEST_KEEP") is None:
            shutil.rmtree(self.root, ignore_errors=True)
        return False

    def _environment(self, display):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "DBUS_", "WAYLAND_", "GTK_", "GDK_", "LC_"))}
        home = os.path.join(self.root, "home")
        runtime = os.path.join(self.root, "runtime")
        for folder in (home, runtime):
            os.makedirs(folder, mode=0o700)
        env.update({
            "DISPLAY": display,
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_RUNTIME_DIR": runtime,
            "GSETTINGS_BACKEND": "memory",
            "GIO_USE_VFS": "local",
            "NO_AT_BRIDGE": "1",
            "GTK_A11Y": "none",
            "GDK_BACKEND": "x11",
            "GTK_THEME": "Adwaita",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })
        env.pop("SESSION_MANAGER", None)
        return env

    # -- Windows ----------------------------------------------------------------------

    def _xdotool(self, *args, check=True):
        done = subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                              text=True, timeout=self.timeout)
        if check and done.returncode != 0:
            raise TestFailure(f"xdotool {' '.join(args)} failed: {done.stderr.strip()}")
        return done.stdout

    def visible_windows(self, title_regex=None, pid=None):
        args = ["search", "--all", "--onlyvisible"]
        if pid is not None:
            args += ["--pid", str(pid)]
        args += ["--name", title_regex if title_regex is not None else ""]
        found = [int(w) for w in self._xdotool(*args, check=False).split()]
        return [w for w in found if w != self.root_window()]

    def root_window(self):
        if self._root_window is None:
            info = subprocess.run(["xwininfo", "-root"], env=self.env, capture_output=True,
                                  text=True, timeout=self.timeout, check=True).stdout
            self._root_window = int(re.search(r"Window id: (0x[0-9a-fA-F]+)", info).group(1), 16)
        return self._root_window

    def wait_window(self, title, pid=None, exclude=()):
        """The one visible window titled exactly `title` (None: any title), other than
        those in `exclude`, once it is there."""
        regex = None if title is None else "^" + re.escape(title) + "$"

        def probe():
            found = [w for w in self.visible_windows(regex, pid) if w not in exclude]
            return found[0] if found else None

        return wait_until(f"window {title!r}", probe, self.timeout)

    def wait_gone(self, window):
        wait_until(f"window {window} to disappear",
                   lambda: window not in self.visible_windows(), self.timeout)

    def title(self, window):
        return self._xdotool("getwindowname", str(window)).rstrip("\n")

    def geometry(self, window):
        values = dict(line.split("=", 1) for line in
                      self._xdotool("getwindowgeometry", "--shell", str(window)).split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def screen_size(self):
        width, height = self._xdotool("getdisplaygeometry").split()
        return int(width), int(height)

    # -- Input ------------------------------------------------------------------------

    def focus(self, window):
        self._xdotool("windowfocus", "--sync", str(window))

    def type_text(self, window, text):
        # Without a pause between keys: the X server queues them in order, and a
        # 255-character path typed at a human pace takes ten seconds.
        self.focus(window)
        self._xdotool("type", "--delay", "0", text)

    def key(self, window, *keys):
        self.focus(window)
        self._xdotool("key", "--delay", "60", *keys)

    def click(self, window, x, y):
        self._xdotool("mousemove", "--window", str(window), str(x), str(y), "click", "1")

    def request_close(self, window):
        """What a window manager's close box does: a WM_DELETE_WINDOW message."""
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class XEvent(ctypes.Union):
            _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = x11.XOpenDisplay(self.env["DISPLAY"].encode())
        if not display:
            raise TestFailure("cannot open the display to send WM_DELETE_WINDOW")
        try:
            event = XEvent()
            event.client.type = 33  # ClientMessage
            event.client.window = window
            event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
            event.client.format = 32
            event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            event.client.data[1] = 0  # CurrentTime
            x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
            x11.XFlush(display)
        finally:
            x11.XCloseDisplay(display)

    # -- Pictures ---------------------------------------------------------------------

    def wait_still(self, window, still_for=0.5):
        """Waits until `window` looks the same for `still_for` seconds (it has drawn what
        the last input changed); at once without ImageMagick, which takes no pictures."""
        if shutil.which("import") is None:
            return
        deadline = time.monotonic() + self.timeout
        last, since = None, time.monotonic()
        while time.monotonic() - since < still_for:
            if time.monotonic() > deadline:
                raise TestFailure(f"window {window} kept changing for {self.timeout:.0f} s")
            picture = subprocess.run(["import", "-window", str(window), "rgb:-"],
                                     env=self.env, capture_output=True, check=True,
                                     timeout=self.timeout).stdout
            if picture != last:
                last, since = picture, time.monotonic()
            time.sleep(0.1)

    def screenshot(self, window, path):
        """A PNG of `window` (None: the whole screen); skipped without ImageMagick."""
        if shutil.which("import") is None:
            return
        target = "root" if window is None else str(window)
        subprocess.run(["import", "-window", target, path], env=self.env, check=True,
                       capture_output=True, timeout=self.timeout)
