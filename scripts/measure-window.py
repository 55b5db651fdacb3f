#!/usr/bin/env python3
"""Measures the player in a real window under its own Xvfb, each figure beside its goal.

    scripts/measure-window.py [BUILD_DIR]      (default build/release)

- start: from exec to the first frame on the screen. The screen behind the
  window is black (Xvfb -br) and SDL leaves a new window unpainted, so the
  window's area stays black until the player presents; the demo's first frame
  is white. The script reads a block of the screen at the window's centre
  through Xlib (ctypes) every half millisecond and takes the first moment it is
  not black. Median of five starts.
- CPU: the demo waits for a click with its blinking marker; from /proc/PID/stat
  (user + system time) over 10 s, in % of one core. Xvfb's own work to show
  the frames is not counted. The wait is recognised on the screen: the window
  comes back to a picture it showed before, which only the blinking marker
  does. /proc/PID/schedstat, where the kernel keeps it, adds the same figure
  to the nanosecond; stat counts in clock ticks of 10 ms.
- memory: the peak resident size (VmHWM in /proc/PID/status) of that run once
  it has been clicked on through its messages, pictures and effects to its
  first choice.
"""
import ctypes
import ctypes.util
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

START_GOAL_MS = 150
CPU_GOAL_PERCENT = 0.5
RSS_GOAL_MB = 60
MEASURED_SECONDS = 10
STARTS = 5
MAX_CLICKS = 20
# A wait that has not blinked by then has no marker.
CHOICE_SECONDS = 5

# The demo opens its window here (its settings file says so).
LEFT, TOP, WIDTH, HEIGHT = 100, 100, 640, 480


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage; the rest is never read.
    _fields_ = [(name, ctypes.c_int) for name in ("width", "height", "xoffset", "format")] + [
        ("data", ctypes.c_void_p)
    ] + [(name, ctypes.c_int) for name in ("byte_order", "bitmap_unit", "bitmap_bit_order",
                                            "bitmap_pad", "depth", "bytes_per_line",
                                            "bits_per_pixel")]


class Screen:
    """Reads rectangles of an X screen's pixels."""

    def __init__(self, display_name):
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.POINTER(XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        self.x11 = x11
        self.display = x11.XOpenDisplay(display_name.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + display_name)
        self.root = x11.XDefaultRootWindow(self.display)

    def pixels(self, left, top, width, height):
        all_planes, z_pixmap = 0xFFFFFFFF, 2
        image = self.x11.XGetImage(self.display, self.root, left, top, width, height, all_planes,
                                   z_pixmap)
        data = ctypes.string_at(image.contents.data, image.contents.bytes_per_line * height)
        self.x11.XDestroyImage(image)
        return data


def start_xvfb():
    reader, writer = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
         "-noreset", "-br"], pass_fds=(writer,), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    os.close(writer)
    with os.fdopen(reader) as lines:
        number = lines.readline().strip()
    if not number:
        server.kill()
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError("timed out waiting for " + what)
        time.sleep(0.05)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        # The fields after the command name, which may hold spaces; utime and
        # stime are the 14th and 15th of the whole line.
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def scheduled_seconds(pid):
    try:
        with open(f"/proc/{pid}/schedstat") as stat:
            return int(stat.read().split()[0]) / 1e9
    except (OSError, ValueError, IndexError):
        return None


def peak_resident_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    raise RuntimeError("no VmHWM")


class Blinking:
    """True once the window returns to a picture it showed before."""

    def __init__(self, screen):
        self.screen = screen
        self.states = []

    def __call__(self):
        state = hash(self.screen.pixels(LEFT, TOP, WIDTH, HEIGHT))
        if not self.states or self.states[-1] != state:
            self.states.append(state)
        return len(self.states) >= 3 and self.states[-1] == self.states[-3]

    def over(self):
        """True once the window shows neither of the marker's pictures: the
        click was taken. (The next wait may look the same: a page turn.)"""
        return hash(self.screen.pixels(LEFT, TOP, WIDTH, HEIGHT)) not in self.states[-2:]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    player = os.path.join(build, "orvanta3")
    demo = os.path.join(build, "demo.vp3")
    missing = [tool for tool in ("Xvfb", "xdotool") if not shutil.which(tool)]
    if missing:
        print("measure-window: skipped, it needs " + " and ".join(missing) +
              " (scripts/install-deps.sh installs them)")
        return 0
    for path in (player, demo):
        if not os.path.exists(path):
            print(f"measure-window: {path} is missing; build first", file=sys.stderr)
            return 1

    server, display = start_xvfb()
    folder = tempfile.mkdtemp(prefix="orv-measure-")
    try:
        screen = Screen(display)
        env = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
        env.update(DISPLAY=display, SDL_VIDEODRIVER="x11")
        game = os.path.join(folder, "demo.vp3")
        shutil.copy(demo, game)
        trace = os.path.join(folder, "trace.txt")

        def play():
            with open(os.path.join(folder, "demo.cfg"), "w") as settings:
                settings.write(f"MainForm.Left={LEFT}\r\nMainForm.Top={TOP}\r\n")
            return subprocess.Popen([player, "--trace", trace, game], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def click():
            subprocess.run(["xdotool", "mousemove", str(LEFT + 320), str(TOP + 240), "click", "1"],
                           env=env, check=True)

        centre = (LEFT + WIDTH // 2 - 16, TOP + HEIGHT // 2 - 16, 32, 32)
        black = screen.pixels(*centre)
        starts = []
        for _ in range(STARTS):
            began = time.monotonic()
            run = play()
            while screen.pixels(*centre) == black:
                if time.monotonic() - began > 10:
                    raise RuntimeError("no frame within 10 s")
                time.sleep(0.0005)
            starts.append((time.monotonic() - began) * 1000)
            run.send_signal(signal.SIGTERM)
            run.wait(10)
            wait_for(lambda: screen.pixels(*centre) == black, 10, "the window to close")

        run = play()
        wait = Blinking(screen)
        wait_for(wait, 30, "the demo's first click wait")
        before, scheduled = cpu_seconds(run.pid), scheduled_seconds(run.pid)
        began = time.monotonic()
        time.sleep(MEASURED_SECONDS)
        elapsed = time.monotonic() - began
        cpu = (cpu_seconds(run.pid) - before) / elapsed * 100
        precise = scheduled_seconds(run.pid)
        if scheduled is not None and precise is not None:
            precise = (precise - scheduled) / elapsed * 100

        # On through its click waits, pictures and effects to its first
        # choice, the first wait without the marker.
        clicks = 0
        while clicks < MAX_CLICKS:
            click()
            clicks += 1
            wait_for(wait.over, 5, "a click to be taken")
            wait = Blinking(screen)
            try:
                wait_for(wait, CHOICE_SECONDS, "the next click wait")
            except RuntimeError:
                break
        played = open(trace, encoding="utf-8").read().splitlines()
        if not played or not played[-1].endswith("@Select"):
            raise RuntimeError(f"after {clicks} clicks the demo is not at its choice but at "
                               f"{played[-1] if played else 'its start'}")
        rss = peak_resident_mb(run.pid)
        # Interrupted, as by the session's end: the player closes its window.
        run.send_signal(signal.SIGTERM)
        status = run.wait(10)
    finally:
        server.terminate()
        server.wait(10)
        shutil.rmtree(folder, ignore_errors=True)

    def verdict(ok):
        return "ok" if ok else "OVER THE GOAL"

    start = statistics.median(starts)
    print(f"== window, Xvfb {display}, {os.path.basename(demo)}")
    print(f"start to first frame  {start:7.1f} ms  (median of {STARTS}, "
          f"{min(starts):.1f} to {max(starts):.1f})   goal < {START_GOAL_MS} ms  "
          f"{verdict(start < START_GOAL_MS)}")
    print(f"CPU waiting for click {cpu:7.2f} %   of one core over {MEASURED_SECONDS} s"
          f"          goal < {CPU_GOAL_PERCENT} %    {verdict(cpu < CPU_GOAL_PERCENT)}")
    if precise is not None:
        print(f"  (by schedstat       {precise:7.3f} %)")
    print(f"peak resident size    {rss:7.1f} MB  (VmHWM, {clicks} clicks on to the first "
          f"choice)   goal < {RSS_GOAL_MB} MB    {verdict(rss < RSS_GOAL_MB)}")
    if status != 0:
        print(f"measure-window: the demo ended with status {status}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
