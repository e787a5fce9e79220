"""A private Xvfb display and the Windows programs started on it under scripts/wine-run, in a Kavo
prefix. What run.sh, bench.sh and the end-to-end tests start under Wine they start here, and it
ends exactly that, by PID: each program, then the display. Other programs in the prefix, a user's
Kavo among them, keep running. A program started by one of these (the benchmark launcher's) is
ended by it, or goes with the display it is on.

    python3 desktop/wine_desktop.py screenshot EXE PNG   (run.sh without a display)
starts EXE on a private display, saves its window to PNG and ends what it started."""

import ctypes
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import time

WINE_RUN = str(pathlib.Path(__file__).resolve().parents[1] / "scripts" / "wine-run")
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}


class Program:
    """A Windows program started under wine-run: `process` is the program itself (wine-run becomes
    it), so its PID is the program's, and its exit code the program's."""

    def __init__(self, args, cwd, env):
        # To a file, not a pipe: Wine's helper processes inherit handles and would hold a pipe open.
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen([WINE_RUN, *map(str, args)], stdout=self.out, stderr=subprocess.DEVNULL,
                                        cwd=cwd, env=env)

    def wait(self, timeout):
        """Waits for the program to end by itself; its output, or an error if it failed."""
        if self.process.wait(timeout):
            raise RuntimeError(f"{self.process.args[1]} ended with {self.process.returncode}")
        self.out.seek(0)
        return self.out.read().decode(errors="replace")

    def end(self):
        # TERM: Wine ends the program at once; wine-run, if still making the prefix, ends what it
        # started first.
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
        self.out.close()


class Desktop:
    def __init__(self, prefix):
        # Wine reads Unix text as UTF-8. wine-run runs programs in KAVO_WINEPREFIX; wineserver,
        # called directly, is given the same prefix.
        self.env = dict(os.environ, LC_ALL="C.UTF-8", KAVO_WINEPREFIX=str(prefix), WINEPREFIX=str(prefix))
        self.programs = []
        read, write = os.pipe()
        # Ended with the thread that makes it (PR_SET_PDEATHSIG), however that ends: a closed terminal
        # too, which Xvfb takes as a reset. So a Desktop is made on a thread that outlives it.
        libc, parent = ctypes.CDLL(None), os.getpid()
        def end_with_parent():
            libc.prctl(1, signal.SIGTERM)
            if os.getppid() != parent:  # already gone
                os._exit(1)
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write,), preexec_fn=end_with_parent, **QUIET)
        os.close(write)
        with os.fdopen(read) as pipe:
            display = pipe.readline().strip()  # empty if Xvfb ended
        if not display:
            self.xvfb.wait(10)
            raise RuntimeError("Xvfb gave no display")
        self.env["DISPLAY"] = ":" + display

    def start(self, exe, *args, window=True, cwd=None, timeout=120, **env):
        """Starts exe; with window, returns once its Kavo window is shown on this display, found by
        its process (Wine gives each X window its process's PID): the user's Kavo in the same
        prefix is not this one. `window` is then its X window id."""
        program = Program([exe, *args], cwd, dict(self.env, **env))
        self.programs.append(program)
        search = ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(program.process.pid), "--name", "^Kavo$"]
        deadline = time.monotonic() + timeout  # the first start may make the prefix
        while window and not (found := subprocess.run(search, env=self.env, timeout=20, capture_output=True,
                                                      text=True).stdout.split()):
            if program.process.poll() is not None or time.monotonic() > deadline:
                self.end(program)
                raise RuntimeError(f"the window of {exe} did not appear")
            time.sleep(0.05)
        program.window = found[0] if window else None
        return program

    def geometry(self, window):  # an X window's (left, top, width, height)
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.env, timeout=20,
                             check=True, capture_output=True, text=True).stdout
        values = dict(line.split("=") for line in out.split())
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def end(self, program):
        program.end()
        self.programs.remove(program)

    def close(self):
        for program in list(self.programs):
            self.end(program)
        self.xvfb.kill()
        self.xvfb.wait(10)

    def screenshot(self, r, path):
        """Saves that part of the screen, (left, top, width, height), to path."""
        pathlib.Path(path).parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*r), "+repage", path],
                       env=self.env, timeout=30, check=True)


def screenshot(exe, path):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # the cleanups below run on TERM too
    try:
        desktop = Desktop(os.environ["KAVO_WINEPREFIX"])
        try:
            kavo = desktop.start(exe)
            desktop.screenshot(desktop.geometry(kavo.window), path)
            print(f"Kavo started; its window is in {path}")
        finally:
            desktop.close()
    except RuntimeError as error:
        sys.exit(f"run.sh: {error}.")
    except KeyboardInterrupt:
        sys.exit(130)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] != "screenshot":
        sys.exit(__doc__)
    screenshot(*sys.argv[2:])
