#!/usr/bin/env python3
"""Measures the player in a real window under its own Xvfb, each figure beside its goal.

    scripts/measure-window.py [BUILD_DIR]      (default build/release)

- start: from exec to the first frame on the screen. The screen behind the
  window is black (Xvfb -br) and SDL leaves a new window unpainted, so the
  window's area stays black until the player presents; the demo's first frame
  is white. The script reads a block of the screen at the window's centre
  through Xlib (ctypes) every half millisecond and takes the first moment it is
  not black. Median of five starts.
- CPU: the demo waits for a click with its blinking marker; the time run by
  all the player's threads over 10 s, in % of one core, from
  /proc/PID/task/*/schedstat (to the nanosecond) where the kernel keeps it,
  else from /proc/PID/stat (user + system time, in clock ticks of 10 ms).
  Xvfb's own work to show the frames is not counted. The wait is recognised
  on the screen: the window comes back to a picture it showed before, which
  only the blinking marker does.
- memory: the peak resident size (VmHWM in /proc/PID/status) of that run once
  its name box is answered and it has been clicked on through its messages,
  pictures and effects to its first choice.
- music and sound: a game of its own, built with vp3tool, waits for a click
  without music (the reference), then for a click while Ogg music loops, then
  for a 3-second sound to end. The CPU of each wait as above; the waits are
  found in the player's trace. The sound's wait is measured from half a
  second after its command, when the file is decoded and playing, to the
  next command.

Every run plays its sound through SDL's disk driver into /dev/null.
"""
import ctypes
import ctypes.util
import math
import os
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import wave

START_GOAL_MS = 150
CPU_GOAL_PERCENT = 0.5
RSS_GOAL_MB = 60
MEASURED_SECONDS = 10
STARTS = 5
MAX_CLICKS = 30
# A wait that has not blinked by then has no marker.
CHOICE_SECONDS = 5
MUSIC_GOAL_PERCENT = 2.0
SOUND_WAIT_GOAL_PERCENT = 0.5
SOUND_SECONDS = 3
# After a click, time for the page's work to end before the wait is measured.
SETTLE_SECONDS = 1
# Time enough to open (decode) the sound before its wait is measured.
SOUND_OPEN_SECONDS = 0.5
MUSIC = "tests/data/media/raylib_target_stereo_22k.ogg"
MEDIA_SCENARIO = """<Head="Velto">
FileType=OV3
StartBook=b
StartPage=p
<Head End>
<Book="b">
<Page="p">
Wait.InputBreak=1
@Wait
Music.FileName=music.ogg
Music.Loop=0
@Music
Wait.InputBreak=1
@Wait
@MusicStop
Sound.FileName=three.wav
Sound.Wait=1
@Sound
Wait.InputBreak=1
@Wait
<Page End>
<Book End>
"""

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
    """The time run by all the process's threads (the audio thread too), or
    None where the kernel keeps no schedstat."""
    total = 0
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
                    total += int(stat.read().split()[0])
            except FileNotFoundError:
                continue  # the thread has ended
    except (OSError, ValueError, IndexError):
        return None
    return total / 1e9


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


class Session:
    """The display, the environment the player runs in and a folder of games."""

    def __init__(self, display, folder, player):
        self.screen = Screen(display)
        self.folder = folder
        self.player = player
        self.env = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
        # Sound goes to SDL's disk driver, which takes it as fast as a sound
        # card plays it; so music and sounds really decode and mix.
        self.env.update(DISPLAY=display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="disk",
                        SDL_DISKAUDIOFILE="/dev/null")

    def play(self, game, trace):
        # The window opens where the settings beside the game say.
        settings = os.path.splitext(game)[0] + ".cfg"
        with open(settings, "w") as out:
            out.write(f"MainForm.Left={LEFT}\r\nMainForm.Top={TOP}\r\n")
        return subprocess.Popen([self.player, "--trace", trace, game], env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def click(self):
        subprocess.run(["xdotool", "mousemove", str(LEFT + 320), str(TOP + 240), "click", "1"],
                       env=self.env, check=True)


class Usage:
    """The CPU a process uses from now on, in % of one core."""

    def __init__(self, pid):
        self.pid = pid
        self.began = time.monotonic()
        self.cpu = cpu_seconds(pid)
        self.scheduled = scheduled_seconds(pid)

    def percent(self):
        """By schedstat where the kernel keeps it, else by stat."""
        elapsed = time.monotonic() - self.began
        scheduled = scheduled_seconds(self.pid)
        if self.scheduled is not None and scheduled is not None:
            return (scheduled - self.scheduled) / elapsed * 100, "schedstat"
        return (cpu_seconds(self.pid) - self.cpu) / elapsed * 100, "stat"


def measure_demo(session, demo):
    """Start to first frame, the CPU of a click wait, peak memory."""
    game = os.path.join(session.folder, "demo.vp3")
    shutil.copy(demo, game)
    trace = os.path.join(session.folder, "demo-trace.txt")
    screen = session.screen
    centre = (LEFT + WIDTH // 2 - 16, TOP + HEIGHT // 2 - 16, 32, 32)
    black = screen.pixels(*centre)
    starts = []
    for _ in range(STARTS):
        began = time.monotonic()
        run = session.play(game, trace)
        while screen.pixels(*centre) == black:
            if time.monotonic() - began > 10:
                raise RuntimeError("no frame within 10 s")
            time.sleep(0.0005)
        starts.append((time.monotonic() - began) * 1000)
        run.send_signal(signal.SIGTERM)
        run.wait(10)
        wait_for(lambda: screen.pixels(*centre) == black, 10, "the window to close")

    run = session.play(game, trace)
    answer_name_box(session, trace)
    wait = Blinking(screen)
    wait_for(wait, 30, "the demo's first click wait")
    usage = Usage(run.pid)
    time.sleep(MEASURED_SECONDS)
    cpu = usage.percent()

    # On through its click waits, pictures and effects to its first
    # choice, the first wait without the marker.
    clicks = 0
    while clicks < MAX_CLICKS:
        session.click()
        clicks += 1
        wait_for(wait.over, 5, "a click to be taken")
        wait = Blinking(screen)
        try:
            wait_for(wait, CHOICE_SECONDS, "the next click wait")
        except RuntimeError:
            break
    played = read_lines(trace)
    if not played or not played[-1].endswith("@Select"):
        raise RuntimeError(f"after {clicks} clicks the demo is not at its choice but at "
                           f"{played[-1] if played else 'its start'}")
    rss = peak_resident_mb(run.pid)
    # Interrupted, as by the session's end: the player closes its window.
    run.send_signal(signal.SIGTERM)
    return {"starts": starts, "cpu": cpu, "rss": rss, "clicks": clicks,
            "status": run.wait(10)}


def answer_name_box(session, trace):
    """The demo asks for a name first: Enter takes the name it offers."""
    wait_for(lambda: any(line.endswith("@StringInput") for line in read_lines(trace)), 30,
             "the demo's name box")
    deadline = time.monotonic() + 10
    while read_lines(trace)[-1].endswith("@StringInput"):
        if time.monotonic() > deadline:
            raise RuntimeError("the name box takes no Enter")
        time.sleep(0.3)  # until the box is up
        subprocess.run(["xdotool", "key", "Return"], env=session.env, check=True)


def read_lines(path):
    try:
        with open(path, encoding="utf-8") as lines:
            return lines.read().splitlines()
    except FileNotFoundError:
        return []


def write_sine_wav(path, seconds):
    rate = 22050
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(
            struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * n / rate)))
            for n in range(int(rate * seconds))))


def build_media_game(session, vp3tool, source):
    """A game of three waits, its music and its sound beside it."""
    folder = os.path.join(session.folder, "media")
    os.mkdir(folder)
    shutil.copy(os.path.join(source, MUSIC), os.path.join(folder, "music.ogg"))
    write_sine_wav(os.path.join(folder, "three.wav"), SOUND_SECONDS)
    scenario = os.path.join(folder, "velto.vf3")
    with open(scenario, "w", newline="\r\n") as out:
        out.write(MEDIA_SCENARIO)
    game = os.path.join(folder, "media.vp3")
    subprocess.run([vp3tool, "create", game, scenario], check=True, stdout=subprocess.DEVNULL)
    return game


def measure_media(session, game):
    """The CPU of a click wait without and with music, and of a sound wait."""
    trace = os.path.join(session.folder, "media-trace.txt")
    run = session.play(game, trace)

    def reached(command):
        return lambda: any(line.endswith(command) for line in read_lines(trace))

    def click_wait():
        time.sleep(SETTLE_SECONDS)
        usage = Usage(run.pid)
        time.sleep(MEASURED_SECONDS)
        return usage.percent()

    wait_for(reached("b/p#0 @Wait"), 30, "the first click wait")
    quiet = click_wait()
    session.click()
    wait_for(reached("b/p#2 @Wait"), 10, "the wait with music")
    music = click_wait()
    session.click()
    # The sound's wait: from when its file is open and playing to the next
    # command, watched closely.
    wait_for(reached("b/p#4 @Sound"), 10, "the sound")
    time.sleep(SOUND_OPEN_SECONDS)
    usage = Usage(run.pid)
    while not reached("b/p#5 @Wait")():
        if time.monotonic() - usage.began > 10:
            raise RuntimeError("the sound's wait does not end")
        time.sleep(0.001)
    sound_seconds = time.monotonic() - usage.began
    sound = usage.percent()
    run.send_signal(signal.SIGTERM)
    return {"quiet": quiet, "music": music, "sound": sound, "sound_seconds": sound_seconds,
            "status": run.wait(10)}


def verdict(ok):
    return "ok" if ok else "OVER THE GOAL"


def cpu_line(label, cpu, seconds, goal=None):
    percent, source = cpu
    text = f"{label:22}{percent:7.2f} %   of one core over {seconds:4.1f} s ({source})"
    if goal is not None:
        text += f"   goal < {goal} %    {verdict(percent < goal)}"
    return text


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/release"
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    player = os.path.join(build, "orvanta3")
    vp3tool = os.path.join(build, "vp3tool")
    demo = os.path.join(build, "demo.vp3")
    missing = [tool for tool in ("Xvfb", "xdotool") if not shutil.which(tool)]
    if missing:
        print("measure-window: skipped, it needs " + " and ".join(missing) +
              " (scripts/install-deps.sh installs them)")
        return 0
    for path in (player, vp3tool, demo):
        if not os.path.exists(path):
            print(f"measure-window: {path} is missing; build first", file=sys.stderr)
            return 1

    server, display = start_xvfb()
    folder = tempfile.mkdtemp(prefix="orv-measure-")
    try:
        session = Session(display, folder, player)
        shown = measure_demo(session, demo)
        media = measure_media(session, build_media_game(session, vp3tool, source))
    finally:
        server.terminate()
        server.wait(10)
        shutil.rmtree(folder, ignore_errors=True)

    starts = shown["starts"]
    start = statistics.median(starts)
    print(f"== window, Xvfb {display}, {os.path.basename(demo)}, sound to SDL's disk driver")
    print(f"start to first frame  {start:7.1f} ms  (median of {STARTS}, "
          f"{min(starts):.1f} to {max(starts):.1f})   goal < {START_GOAL_MS} ms  "
          f"{verdict(start < START_GOAL_MS)}")
    print(cpu_line("CPU waiting for click", shown["cpu"], MEASURED_SECONDS, CPU_GOAL_PERCENT))
    print(f"peak resident size    {shown['rss']:7.1f} MB  (VmHWM, {shown['clicks']} clicks on "
          f"to the first choice)   goal < {RSS_GOAL_MB} MB    "
          f"{verdict(shown['rss'] < RSS_GOAL_MB)}")
    print(f"== music and sound, a game of three waits ({os.path.basename(MUSIC)} looping)")
    print(cpu_line("click wait, no music", media["quiet"], MEASURED_SECONDS))
    print(cpu_line("click wait, Ogg music", media["music"], MEASURED_SECONDS,
                   MUSIC_GOAL_PERCENT))
    print(cpu_line(f"{SOUND_SECONDS} s sound's wait", media["sound"], media["sound_seconds"],
                   SOUND_WAIT_GOAL_PERCENT))
    failed = [(name, run["status"]) for name, run in (("demo", shown), ("media game", media))
              if run["status"] != 0]
    for name, status in failed:
        print(f"measure-window: the {name} ended with status {status}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
