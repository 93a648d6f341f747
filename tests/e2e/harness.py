# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Marulet developers

"""What every end-to-end check and bench of Marulet shares: a private X
server with a window manager and a private sound server, a copy of the
program in a folder of its own, finding its window, field and pieces on the
screen, exciting pieces, recording what the sound server plays, finding note
onsets in it, and measuring a process: CPU, resident memory and wake-ups.
Only the processes started here are stopped, by their ids.
"""
import array
import math
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from Xlib import X, display, protocol

W, H = 1280, 800
RATE = 48000  # the null sink runs at this rate, as most desktops do, and is recorded at it
HZ = os.sysconf("SC_CLK_TCK")

# The default layout: pieces on an 80-pixel grid, a body's centre 52 pixels
# right of and below its cell's corner, the first satellite's top edge (what
# field_origin finds) 33 pixels from the field's corner.
PITCH, BODY_CENTRE, FIRST_EDGE = 80, 52, 33


def log(msg):
    print(f"e2e: {msg}", flush=True)


def wait_until(predicate, timeout, what):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = predicate()
        if result:
            return result
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what}")


class Session:
    """A private X display with openbox, a private PulseAudio with a null
    sink, and a copy of the program in a folder of its own. Used in a with
    block, it stops what it started when the block ends."""

    def __init__(self, exe):
        self.tmp = tempfile.mkdtemp(prefix="marulet-e2e-")
        self.procs = []
        self.dpy = None
        self.sound_server = None
        self.env = dict(os.environ)
        runtime = os.path.join(self.tmp, "run")
        os.makedirs(runtime, mode=0o700)
        home = os.path.join(self.tmp, "home")
        os.makedirs(home)
        self.env.update(XDG_RUNTIME_DIR=runtime, HOME=home,
                        XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        PULSE_SERVER=f"unix:{runtime}/pulse.sock")
        self.env.pop("QT_QPA_PLATFORM", None)
        # A copy in a folder of its own: a portable install whose settings
        # file starts out missing.
        self.appdir = os.path.join(self.tmp, "app")
        os.makedirs(self.appdir)
        self.exe = os.path.join(self.appdir, "marulet")
        shutil.copy2(os.path.abspath(exe), self.exe)
        self.ini = os.path.join(self.appdir, "marulet.INI")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop_all()

    def start(self, args, stdout=subprocess.DEVNULL, **kw):
        p = subprocess.Popen(args, env=self.env, stdout=stdout, stderr=subprocess.DEVNULL, **kw)
        self.procs.append(p)
        return p

    def stop(self, p, timeout=10):
        """Ends one process started here with SIGTERM, or SIGKILL when it
        does not go in time; gives its exit code."""
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(timeout)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        return p.returncode

    def start_sound(self, shm=False):
        """Starts the private PulseAudio and waits until it answers; gives its
        process, so that a check can stop or restart it. shm=True runs it with
        shared memory, as desktops do."""
        args = ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--disallow-exit",
                "-L", f"module-null-sink sink_name=nullsink rate={RATE}",
                "-L", "module-native-protocol-unix auth-anonymous=1 socket="
                      + self.env["XDG_RUNTIME_DIR"] + "/pulse.sock"]
        if not shm:
            args.insert(5, "--disable-shm=yes")
        self.sound_server = self.start(args)
        wait_until(lambda: subprocess.run(["pactl", "info"], env=self.env,
                                          capture_output=True).returncode == 0,
                   15, "PulseAudio")
        return self.sound_server

    def start_display(self):
        """Starts Xvfb and openbox, and opens a connection to them (dpy)."""
        # Other checks may pick the same free number at the same moment: a
        # server that does not come up is tried again on the next number.
        n = 90
        while True:
            while os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
                n += 1
            self.env["DISPLAY"] = f":{n}"
            xvfb = self.start(["Xvfb", f":{n}", "-screen", "0", f"{W}x{H}x24", "-nolisten", "tcp"])
            wait_until(lambda: xvfb.poll() is not None or subprocess.run(
                ["xdpyinfo"], env=self.env, capture_output=True).returncode == 0, 15, "Xvfb")
            time.sleep(0.2)
            if xvfb.poll() is None:
                break
            n += 1
        # A real window manager frames, places, maximises and raises the
        # windows, as on a user's desktop.
        wm = self.start(["openbox", "--sm-disable"])
        wait_until(lambda: wm.poll() is not None or subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, capture_output=True,
            text=True).stdout.find("window id") >= 0, 15, "openbox")
        assert wm.poll() is None, "openbox did not start"
        time.sleep(0.3)
        self.dpy = display.Display(self.env["DISPLAY"])

    def xdo(self, *args):
        """Runs xdotool on the private display: the mouse and the keyboard."""
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def stop_all(self):
        if self.dpy is not None:
            try:
                self.dpy.close()
            except Exception:
                pass  # the X server may have gone already
            self.dpy = None
        for p in reversed(self.procs):
            self.stop(p, 5)
        shutil.rmtree(self.tmp, ignore_errors=True)


def session(exe, sound=True, shm=False):
    """A Session with its sound server (unless sound is False) and its
    display up, for a with block."""
    s = Session(exe)
    try:
        if sound:
            s.start_sound(shm)
        s.start_display()
    except BaseException:
        s.stop_all()
        raise
    return s


def start_program(s, settings=None, timeout=20, settle=1.0):
    """Writes the settings file when settings are given (else leaves it as it
    is), starts the program and waits for its main window; then settle
    seconds for it to paint and take its place. Gives the process and the
    window."""
    if settings is not None:
        with open(s.ini, "w", encoding="utf-8") as f:
            f.write(settings)
    app = s.start([s.exe])
    win = wait_until(lambda: find_window(s.dpy), timeout, "the main window")
    time.sleep(settle)
    return app, win


def time_to_paint(s, settings=None, timeout=20):
    """Starts the program as start_program does and waits until its window
    shows a piece; gives the process, the window and the milliseconds from
    exec to that paint."""
    t0 = time.monotonic()
    app, win = start_program(s, settings, timeout, settle=0)
    wait_until(lambda: painted(win), timeout, "the first paint")
    return app, win, (time.monotonic() - t0) * 1000


# Windows.

def find_windows(dpy, title="Marulet"):
    """Every viewable client window of that title, also inside a window
    manager's frame."""
    found = []

    def search(parent, depth):
        for w in parent.query_tree().children:
            try:
                name = w.get_wm_name()
                attrs = w.get_attributes()
            except Exception:
                continue
            if name == title and attrs.map_state == X.IsViewable:
                found.append(w)
            elif depth > 0:
                search(w, depth - 1)
    search(dpy.screen().root, 2)
    return found


def find_window(dpy, title="Marulet"):
    """The first viewable client window of that title, or None."""
    windows = find_windows(dpy, title)
    return windows[0] if windows else None


def window_title(dpy, win):
    """The window's title as the window manager shows it (UTF-8)."""
    prop = win.get_full_property(dpy.intern_atom("_NET_WM_NAME"), X.AnyPropertyType)
    if prop and prop.value:
        value = prop.value
        return value.decode("utf-8") if isinstance(value, bytes) else str(value)
    return win.get_wm_name() or ""


def ask_to_close(dpy, win):
    """Asks the window to close as a window manager would: WM_DELETE_WINDOW."""
    event = protocol.event.ClientMessage(
        window=win, client_type=dpy.intern_atom("WM_PROTOCOLS"),
        data=(32, [dpy.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
    win.send_event(event)
    dpy.flush()


def client_rect(win):
    """The client window's left, top, width and height on the screen."""
    root = win.query_tree().root
    at = root.translate_coords(win, 0, 0)
    g = win.get_geometry()
    return at.x, at.y, g.width, g.height


def screenshot(session, path):
    subprocess.run(["import", "-window", "root", "-depth", "8", path], env=session.env, check=True)


def screen_pixels(session):
    """The whole screen: its width, height and RGB bytes, row after row."""
    shot = os.path.join(session.tmp, "shot.ppm")
    screenshot(session, shot)
    with open(shot, "rb") as f:
        data = f.read()
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    return int(m.group(1)), int(m.group(2)), data[m.end():]


def is_outline(r, g, b):
    """A body's blue outline on the black ground."""
    return b > 120 and r < 80 and g < 80


def painted(win):
    """True once the window shows a piece's outline."""
    geo = win.get_geometry()
    img = win.get_image(0, 0, geo.width, geo.height, X.ZPixmap, 0xFFFFFFFF).data
    for i in range(0, len(img) - 3, 4):  # BGRX
        if is_outline(img[i + 2], img[i + 1], img[i]):
            return True
    return False


# The field and its pieces.

def field_origin(session, win=None):
    """Finds the top-left body (blue outline on black) in a screenshot, inside
    the client window when one is given (a window manager's title bar may be
    blue too). Gives the first satellite's top edge."""
    w, h, px = screen_pixels(session)
    x0, y0, x1, y1 = 0, 0, w, h
    if win is not None:
        cx, cy, cw, ch = client_rect(win)
        x0, y0, x1, y1 = max(cx, 0), max(cy, 0), min(cx + cw, w), min(cy + ch, h)
    for y in range(y0, y1):
        row = px[y * w * 3:(y + 1) * w * 3]
        for x in range(x0, x1):
            if is_outline(row[3 * x], row[3 * x + 1], row[3 * x + 2]):
                return x, y
    raise AssertionError("no piece seen on the screen")


def field_corner(origin):
    """The field's top-left corner on the screen, from field_origin."""
    return origin[0] - FIRST_EDGE, origin[1] - FIRST_EDGE


def piece_centre(origin, piece):
    """The centre of a piece's body in the default layout, from field_origin."""
    x, y = field_corner(origin)
    return (x + (piece % 7) * PITCH + BODY_CENTRE,
            y + (piece // 7) * PITCH + BODY_CENTRE)


def ctrl_click(s, x, y, timed=False):
    """Ctrl+clicks at (x, y). timed=True makes the click in an xdotool call
    of its own and gives the middle of that call's run, the moment of the
    click within half its length."""
    if not timed:
        s.xdo("mousemove", x, y, "keydown", "ctrl", "click", 1, "keyup", "ctrl")
        return None
    s.xdo("mousemove", x, y, "keydown", "ctrl")
    before = time.monotonic()
    s.xdo("click", 1)
    at = (before + time.monotonic()) / 2
    s.xdo("keyup", "ctrl")
    return at


def excite(s, origin, pieces, times=1, pause=0.0):
    """Ctrl+clicks each piece's body in the default layout times times,
    pause seconds apart."""
    for piece in pieces:
        x, y = piece_centre(origin, piece)
        for _ in range(times):
            ctrl_click(s, x, y)
            time.sleep(pause)


A_FEW_PIECES = (10, 24, 38)  # apart, so that they play side by side


def play_a_few(s, origin):
    """Excites a few pieces of the default layout and gives them the time
    to start playing."""
    excite(s, origin, A_FEW_PIECES)
    time.sleep(5)


class Menu:
    """The main window's File menu, which stands just above the field, and
    its save dialogs."""

    def __init__(self, s, origin):
        self.s = s
        self.x, self.y = field_corner(origin)

    def open_file(self):
        self.s.xdo("mousemove", self.x + 30, self.y - 10, "click", 1)

    def file_item(self, key):
        """Opens the File menu and picks the item by its access key."""
        self.open_file()
        time.sleep(0.7)
        self.s.xdo("key", key)

    def save_as(self, path, typed=None):
        """Types a name (typed, else the path) into the save dialog that is
        coming up and waits until the file at path exists."""
        time.sleep(1.5)  # the save dialog comes up
        self.s.xdo("key", "ctrl+a")
        self.s.xdo("type", "--delay", 20, typed or path)
        self.s.xdo("key", "Return")
        wait_until(lambda: os.path.exists(path), 10, f"the file {path}")

    def start_recording(self, midi, wav):
        """Starts recording MIDI and audio into those files."""
        self.file_item("m")
        self.save_as(midi)
        self.file_item("a")
        self.save_as(wav)

    def stop_recording(self):
        """Stops both recordings by choosing their items again."""
        self.file_item("m")
        time.sleep(0.5)
        self.file_item("a")
        time.sleep(1.0)


# What the sound server plays.

RAW_MONO = ["--raw", "--format=float32le", f"--rate={RATE}", "--channels=1"]


def record_sink(session, seconds, latency_ms, *args, **kw):
    """Records the null sink's monitor with parec for some seconds, or,
    when seconds is None, leaves parec running for the caller to stop."""
    rec = session.start(["parec", "-d", "nullsink.monitor", f"--latency-msec={latency_ms}",
                         *args], **kw)
    if seconds is None:
        return rec
    time.sleep(seconds)
    rec.send_signal(signal.SIGINT)
    rec.wait(5)
    return rec


def record_rms(session, seconds):
    """The RMS amplitude of what the null sink plays for some seconds."""
    wav = os.path.join(session.tmp, f"rec{time.monotonic_ns()}.wav")
    record_sink(session, seconds, 50, "--file-format=wav", wav)
    stat = subprocess.run(["sox", wav, "-n", "stat"], capture_output=True, text=True).stderr
    return float(re.search(r"RMS\s+amplitude:\s+([0-9.]+)", stat).group(1))


def record_samples(session, seconds):
    """What the null sink plays for some seconds, as mono float samples at
    RATE. Sample positions follow the sink's clock."""
    raw = os.path.join(session.tmp, f"rec{time.monotonic_ns()}.raw")
    record_sink(session, seconds, 50, *RAW_MONO, raw)
    samples = array.array("f")
    with open(raw, "rb") as f:
        data = f.read()
    samples.frombytes(data[:len(data) - len(data) % 4])
    return samples


class SinkMonitor:
    """Reads the sink's monitor as it plays, as mono float samples at RATE,
    and notes when each piece of them came, so that a sample can be put on
    the wall clock."""

    def __init__(self, s):
        self.proc = record_sink(s, None, 5, *RAW_MONO, stdout=subprocess.PIPE)
        self.samples = array.array("f")
        self.arrivals = []  # (time the piece was read, samples so far)
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        pending = b""
        while True:
            data = self.proc.stdout.read1(4096)
            if not data:
                return
            now = time.monotonic()
            pending += data
            whole = len(pending) - len(pending) % 4
            self.samples.frombytes(pending[:whole])
            pending = pending[whole:]
            self.arrivals.append((now, len(self.samples)))

    def heard_at(self, index):
        """When the sample at index left the sink, on time.monotonic()."""
        for when, count in self.arrivals:
            if count > index:
                return when - (count - 1 - index) / RATE
        return None

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(5)
        self.thread.join(5)


def rms(samples):
    return math.sqrt(sum(v * v for v in samples) / max(1, len(samples)))


def note_onsets(samples, rate=RATE):
    """The first sample of each note that rises out of quiet: a 1 ms block
    louder than four times the 50 ms before it, refined to the first sample
    above a twentieth of the note's early peak."""
    block = rate // 1000
    env = [max(abs(v) for v in samples[i:i + block]) for i in range(0, len(samples) - block, block)]
    found, k = [], 50
    while k < len(env) - 20:
        before = max(env[k - 50:k])
        if env[k] > 0.002 and env[k] > 4 * before:
            peak = max(env[k:k + 20])
            i = (k - 1) * block
            while i < (k + 1) * block and abs(samples[i]) <= max(0.05 * peak, 2 * before):
                i += 1
            found.append(i)
            k += 300
        else:
            k += 1
    return found


def phase_arc_ms(onsets, period_ms=50.0, share=1.0, rate=RATE):
    """The shortest arc of the period's circle that holds the given share of
    the onsets' phases, in ms."""
    period = period_ms * rate / 1000
    phases = sorted((o % period) * 1000 / rate for o in onsets)
    n = len(phases)
    need = min(n, max(1, math.ceil(share * n)))
    best = period_ms
    for a in range(n):
        b = a + need - 1
        end = phases[b % n] + (period_ms if b >= n else 0)
        best = min(best, end - phases[a])
    return best


# Measuring a process.

def cpu_ticks(pid):
    """The process's CPU time so far, user and system, in clock ticks (HZ)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def thread_switches(pid):
    """Each thread's name and its wake-ups so far: the times it went to
    sleep and was woken (voluntary context switches; being preempted on a
    busy machine is not a wake-up): {tid: (name, wake-ups)}. A thread that
    ends while it is read is left out."""
    found = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                name = f.read().strip()
            switches = 0
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        switches += int(line.split()[1])
        except (FileNotFoundError, ProcessLookupError):
            continue
        found[int(tid)] = (name, switches)
    return found


class Meter:
    """Measures a process from its making to stop(): CPU as a percentage of
    one core, the peak of resident memory over sample() calls, and wake-ups
    (voluntary context switches) per second, all and by thread. A thread that ends
    before stop() is not counted; one that starts in between counts whole."""

    def __init__(self, pid):
        self.pid = pid
        self.t0 = time.monotonic()
        self.ticks0 = cpu_ticks(pid)
        self.switches0 = thread_switches(pid)
        self.peak_rss = rss_mb(pid)

    def sample(self):
        self.peak_rss = max(self.peak_rss, rss_mb(self.pid))

    def stop(self):
        ticks, switches = cpu_ticks(self.pid), thread_switches(self.pid)
        self.seconds = time.monotonic() - self.t0
        self.cpu = 100 * (ticks - self.ticks0) / HZ / self.seconds
        # Threads may share a name (a worker keeps the program's unless it
        # is given one): each is listed by itself, the main one marked.
        self.threads = []  # (name, wake-ups per second), busiest first
        for tid, (name, count) in switches.items():
            old = self.switches0.get(tid)
            label = f"{name} (main)" if tid == self.pid else name
            self.threads.append((label, (count - (old[1] if old else 0)) / self.seconds))
        self.threads.sort(key=lambda t: -t[1])
        self.wakeups = sum(rate for _, rate in self.threads)
        return self

    def wakeup_report(self):
        """The wake-ups per second, all and by thread, busiest first."""
        return f"{self.wakeups:.1f}/s: " + ", ".join(
            f"{name} {rate:.1f}" for name, rate in self.threads)


def measure(pids, seconds, every=1.0):
    """Measures the processes over some seconds, sampling resident memory
    every so often; gives a stopped Meter a process."""
    meters = [Meter(pid) for pid in pids]
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(min(every, max(0.0, end - time.monotonic())))
        for m in meters:
            m.sample()
    return [m.stop() for m in meters]


# A machine at work.

class BusyLoops:
    """Keeps every core busy (a user compiling, a browser tab) until the
    block ends: one spinning process per core, at normal priority."""

    def __init__(self, count=None):
        self.count = count or os.cpu_count() or 2
        self.procs = []

    def __enter__(self):
        for _ in range(self.count):
            self.procs.append(subprocess.Popen(["/bin/sh", "-c", "while :; do :; done"]))
        return self

    def __exit__(self, *exc):
        for p in self.procs:
            p.kill()
            p.wait()


# Fourteen isolated notes, each from one Ctrl+click at rising speed 8 with
# reach 50 (so nothing propagates), on a short marimba.
ISOLATED_NOTES = ("[Param]\nReach=50\nActiveLv=8\n[Sound]\n"
                  "prg_00=13\nprg_01=13\nprg_02=13\nprg_03=13\n")
ISOLATED_PIECES = [0, 2, 4, 6, 14, 16, 18, 20, 28, 30, 32, 34, 42, 44]


def isolated_notes(s, origin, quiet_first=4.0, gap=1.2):
    """Plays the fourteen isolated notes, recorded from the sink and to a
    MIDI file; gives (onsets, clicks, monitor, corrected): the onsets in the
    sink's recording, the times of the clicks, and the onsets less each
    note's own attack (attack_delays), or None when the notes heard are not
    the notes recorded. The field is left silent for quiet_first seconds
    first, long enough for the output to pause, so the first note comes
    after a resume."""
    menu = Menu(s, origin)
    midi = os.path.join(s.tmp, f"notes{time.monotonic_ns()}.mid")
    menu.file_item("m")
    menu.save_as(midi)
    monitor = SinkMonitor(s)
    time.sleep(quiet_first)
    clicks = []
    for piece in ISOLATED_PIECES:
        clicks.append(ctrl_click(s, *piece_centre(origin, piece), timed=True))
        time.sleep(gap + (piece % 7) * 0.007)
    time.sleep(2.5)
    monitor.stop()
    menu.file_item("m")
    time.sleep(1.0)
    onsets = note_onsets(monitor.samples)
    delays = attack_delays(midi, s.tmp)
    corrected = None
    if delays is not None and len(delays) == len(onsets):
        corrected = [o - d for o, d in zip(onsets, delays)]
    return onsets, clicks, monitor, corrected


def attack_delays(midi, tmp, rate=RATE):
    """How far each note of a MIDI file, played as it was recorded (its
    channel's program, volume and pan, its key and velocity), lies from its
    onset as note_onsets finds it: each soundfont sample has an attack of
    its own. FluidSynth renders the notes offline a second apart, each on a
    block edge, and the onsets found there are measured from those edges.
    None when not every note's onset is found."""
    import mido
    state = {}  # channel: {program, 7, 10}
    notes = []
    for m in mido.merge_tracks(mido.MidiFile(midi).tracks):
        if m.is_meta:
            continue
        ch = state.setdefault(m.channel, {"program": 0, 7: 100, 10: 64})
        if m.type == "program_change":
            ch["program"] = m.program
        elif m.type == "control_change" and m.control in (7, 10):
            ch[m.control] = m.value
        elif m.type == "note_on" and m.velocity > 0:
            notes.append((m.channel, m.note, m.velocity, dict(ch)))
    if not notes:
        return None
    track = mido.MidiTrack()
    second = 960  # ticks at 480 a beat and 120 beats a minute
    last = 0
    for i, (channel, note, velocity, ch) in enumerate(notes):
        at = (i + 1) * second
        track.append(mido.Message("program_change", channel=channel, program=ch["program"],
                                  time=at - last))
        track.append(mido.Message("control_change", channel=channel, control=7, value=ch[7]))
        track.append(mido.Message("control_change", channel=channel, control=10, value=ch[10]))
        track.append(mido.Message("note_on", channel=channel, note=note, velocity=velocity))
        track.append(mido.Message("note_off", channel=channel, note=note, time=second // 2))
        last = at + second // 2
    spaced = mido.MidiFile(ticks_per_beat=480)
    spaced.tracks.append(track)
    path = os.path.join(tmp, f"spaced{time.monotonic_ns()}.mid")
    spaced.save(path)
    wav = path + ".wav"
    render_midi(path, wav, rate)
    samples, _ = wav_mono(wav)
    found = note_onsets(samples, rate)
    if len(found) != len(notes):
        return None
    return [o - (i + 1) * rate for i, o in enumerate(found)]


def phases_ms(onsets, period_ms=50.0, rate=RATE):
    """Each onset's place on the period's grid, in ms."""
    period = period_ms * rate / 1000
    return [(o % period) * 1000 / rate for o in onsets]


# Offline rendering, the reference for what was recorded.

def soundfont():
    """The General MIDI soundfont the program finds first."""
    for name in ("default-GM.sf2", "default.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2"):
        for place in ("/usr/share/sounds/sf2", "/usr/share/soundfonts"):
            path = os.path.join(place, name)
            if os.path.exists(path):
                return path
    return None


def render_midi(midi, wav, rate=RATE, sample_format="s16"):
    """Renders a MIDI file offline with FluidSynth's command-line player
    into a stereo WAV file (16-bit, or "float" as the program renders);
    gives the CPU seconds it took (user and system)."""
    before = os.times()
    # The program's synth holds 64 voices, not FluidSynth's default 256.
    subprocess.run(["fluidsynth", "-n", "-i", "-q", "-o", "synth.polyphony=64", "-F", wav, "-r",
                    str(rate), "-T", "wav", "-O", sample_format, soundfont(), midi], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=600)
    after = os.times()
    return (after.children_user - before.children_user) + (after.children_system -
                                                           before.children_system)


def wav_mono(path):
    """A 16-bit WAV file as mono float samples, and its rate."""
    import wave
    with wave.open(path, "rb") as w:
        channels, rate, width = w.getnchannels(), w.getframerate(), w.getsampwidth()
        data = w.readframes(w.getnframes())
    assert width == 2, f"{width * 8}-bit samples"
    ints = array.array("h", data[:len(data) - len(data) % 2])
    samples = array.array("f", (ints[i] / 32768.0 for i in range(0, len(ints), channels)))
    return samples, rate


# The UI thread's answers, and a sound server that never answers.

class StallMeter:
    """Watches the program's UI thread, which wakes at every field tick
    (20 times a second), and keeps the longest time it went without waking:
    how long it stood still, blocked or busy."""

    def __init__(self, pid, every=0.002):
        self.path = f"/proc/{pid}/task/{pid}/status"
        self.every = every
        self.longest = 0.0
        self.running = True
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def switches(self):
        with open(self.path) as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches:"):
                    return int(line.split()[1])
        return 0

    def run(self):
        try:
            last, since = self.switches(), time.monotonic()
            while self.running:
                time.sleep(self.every)
                now, count = time.monotonic(), self.switches()
                if count != last:
                    last, since = count, now
                self.longest = max(self.longest, now - since)
        except (FileNotFoundError, ProcessLookupError):
            pass  # the program has ended

    def stop(self):
        """Gives the longest time without a wake-up, in ms."""
        self.running = False
        self.thread.join(5)
        return self.longest * 1000


class SilentServer:
    """A Unix socket that accepts connections and never answers, as a sound
    server stuck after a suspend does; `address` is for PULSE_SERVER."""

    def __init__(self, path):
        import socket
        self.path = path
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.bind(path)
        self.sock.listen(16)
        self.sock.settimeout(0.2)
        self.address = f"unix:{path}"
        self.clients = []
        self.running = True
        self.thread = threading.Thread(target=self.accept, daemon=True)
        self.thread.start()

    def accept(self):
        while self.running:
            try:
                client, _ = self.sock.accept()
            except TimeoutError:
                continue
            except OSError:
                return
            self.clients.append(client)  # held open, never read or written

    def close(self):
        self.running = False
        self.sock.close()
        for c in self.clients:
            c.close()
        if os.path.exists(self.path):
            os.unlink(self.path)
