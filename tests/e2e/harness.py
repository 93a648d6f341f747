"""What every end-to-end check and bench of Marulet shares: a private X
server and sound server, a copy of the program in a folder of its own,
finding its window and pieces on the screen, recording what the sound
server plays, and measuring a process: CPU, resident memory and wake-ups.
Only the processes started here are stopped, by their ids.
"""
import math
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from Xlib import X

W, H = 1280, 800
HZ = os.sysconf("SC_CLK_TCK")


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
    def __init__(self, exe):
        self.tmp = tempfile.mkdtemp(prefix="marulet-e2e-")
        self.procs = []
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
        shutil.copy2(exe, self.exe)
        self.ini = os.path.join(self.appdir, "marulet.INI")

    def start(self, args, **kw):
        p = subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, **kw)
        self.procs.append(p)
        return p

    def start_sound(self):
        self.start(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                    "--disallow-exit", "--disable-shm=yes",
                    "-L", "module-null-sink sink_name=nullsink",
                    "-L", "module-native-protocol-unix auth-anonymous=1 socket="
                          + self.env["XDG_RUNTIME_DIR"] + "/pulse.sock"])
        wait_until(lambda: subprocess.run(["pactl", "info"], env=self.env,
                                          capture_output=True).returncode == 0,
                   15, "PulseAudio")

    def start_display(self):
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

    def stop_all(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)


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


def screenshot(session, path):
    subprocess.run(["import", "-window", "root", "-depth", "8", path], env=session.env, check=True)


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


def client_rect(win):
    """The client window's left, top, width and height on the screen."""
    root = win.query_tree().root
    at = root.translate_coords(win, 0, 0)
    g = win.get_geometry()
    return at.x, at.y, g.width, g.height


def field_origin(session, win=None):
    """Finds the top-left body (blue outline on black) in a screenshot, inside
    the client window when one is given (a window manager's title bar may be
    blue too)."""
    shot = os.path.join(session.tmp, "shot.ppm")
    screenshot(session, shot)
    with open(shot, "rb") as f:
        data = f.read()
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    w, h = int(m.group(1)), int(m.group(2))
    px = data[m.end():]
    x0, y0, x1, y1 = 0, 0, w, h
    if win is not None:
        cx, cy, cw, ch = client_rect(win)
        x0, y0, x1, y1 = max(cx, 0), max(cy, 0), min(cx + cw, w), min(cy + ch, h)
    for y in range(y0, y1):
        row = px[y * w * 3:(y + 1) * w * 3]
        for x in range(x0, x1):
            if is_outline(row[3 * x], row[3 * x + 1], row[3 * x + 2]):
                return x, y  # the first satellite's top edge
    raise AssertionError("no piece seen on the screen")


def record(session, seconds):
    wav = os.path.join(session.tmp, f"rec{time.monotonic_ns()}.wav")
    rec = session.start(["parec", "-d", "nullsink.monitor", "--latency-msec=50",
                         "--file-format=wav", wav])
    time.sleep(seconds)
    rec.send_signal(signal.SIGINT)
    rec.wait(5)
    stat = subprocess.run(["sox", wav, "-n", "stat"], capture_output=True, text=True).stderr
    rms = float(re.search(r"RMS\s+amplitude:\s+([0-9.]+)", stat).group(1))
    return rms


def start_pulse(session, shm=False):
    """Starts the private PulseAudio and waits until it answers; gives its
    process, so a check can stop or restart it. shm=True runs it with shared
    memory, as desktops do."""
    args = ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--disallow-exit",
            "-L", "module-null-sink sink_name=nullsink",
            "-L", "module-native-protocol-unix auth-anonymous=1 socket="
                  + session.env["XDG_RUNTIME_DIR"] + "/pulse.sock"]
    if not shm:
        args.insert(5, "--disable-shm=yes")
    proc = session.start(args)
    wait_until(lambda: subprocess.run(["pactl", "info"], env=session.env,
                                      capture_output=True).returncode == 0,
               15, "PulseAudio")
    return proc


def record_samples(session, seconds):
    """What the null sink plays for some seconds, as mono float samples at
    44.1 kHz. Sample positions follow the sink's clock."""
    import array
    raw = os.path.join(session.tmp, f"rec{time.monotonic_ns()}.raw")
    rec = session.start(["parec", "-d", "nullsink.monitor", "--latency-msec=50", "--raw",
                         "--format=float32le", "--rate=44100", "--channels=1", raw])
    time.sleep(seconds)
    rec.send_signal(signal.SIGINT)
    rec.wait(5)
    samples = array.array("f")
    with open(raw, "rb") as f:
        data = f.read()
    samples.frombytes(data[:len(data) - len(data) % 4])
    return samples


def note_onsets(samples, rate=44100):
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


def phase_arc_ms(onsets, period_ms=50.0, share=1.0, rate=44100):
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


def piece_centre(origin, piece):
    """The centre of a piece's body in the default layout, from field_origin."""
    sx, sy = origin
    return sx - 33 + (piece % 7) * 80 + 52, sy - 33 + (piece // 7) * 80 + 52


def ctrl_click(s, x, y):
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "keydown", "ctrl", "click", "1",
                    "keyup", "ctrl"], env=s.env, check=True)


def start_program(s, dpy, settings):
    """Writes the settings file, starts the program and waits for its window."""
    with open(s.ini, "w", encoding="utf-8") as f:
        f.write(settings)
    app = s.start([s.exe])
    win = wait_until(lambda: find_window(dpy), 20, "the main window")
    time.sleep(1.0)
    return app, win


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
    """Each thread's name and its context switches so far, voluntary and
    not: {tid: (name, switches)}. A thread that ends while it is read is
    left out."""
    found = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                name = f.read().strip()
            switches = 0
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches:",
                                        "nonvoluntary_ctxt_switches:")):
                        switches += int(line.split()[1])
        except (FileNotFoundError, ProcessLookupError):
            continue
        found[int(tid)] = (name, switches)
    return found


class Meter:
    """Measures a process from its making to stop(): CPU as a percentage of
    one core, the peak of resident memory over sample() calls, and wake-ups
    (context switches) per second by thread name. A thread that ends before
    stop() is not counted; one that starts in between counts whole."""

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
        self.threads = {}  # name: (how many threads, wake-ups per second)
        for tid, (name, count) in switches.items():
            old = self.switches0.get(tid)
            rate = (count - (old[1] if old else 0)) / self.seconds
            n, total = self.threads.get(name, (0, 0.0))
            self.threads[name] = (n + 1, total + rate)
        self.wakeups = sum(rate for _, rate in self.threads.values())
        return self

    def wakeup_report(self):
        """The wake-ups per second, all and by thread, busiest first."""
        parts = [f"{name}{f' (x{n})' if n > 1 else ''} {rate:.1f}" for name, (n, rate)
                 in sorted(self.threads.items(), key=lambda t: -t[1][1])]
        return f"{self.wakeups:.1f}/s: " + ", ".join(parts)


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
