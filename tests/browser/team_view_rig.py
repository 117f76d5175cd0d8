"""The real console (velmora-kill-console, offscreen) with its team view on, and simulated cars,
for the team view's browser and bad-input tests. Everything talks to 127.0.0.1 only."""
import os
import queue
import signal
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

KEY = "AAECAwQFBgcICQoLDA0ODw"
PORT = 18780


def write_masters(folder):
    """Three cars and three drivers, registered as the editors write them."""
    for name, lines in [("Car.ini", ["スイフト,山田,40,12.5", "ヴィッツ,佐藤,42,13.0", "フィット,鈴木,40,14.0"]),
                        ("Drivers.ini", ["山田,全車", "佐藤,全車", "鈴木,全車"])]:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


def write_settings(folder, port=PORT, key=KEY, silence=1):
    lines = ["[計測環境設定]", "計測精度=1/1000", f"ラップ加算無通信秒数= {silence}",
             "[チームビュー]", f"ポート={port}", f"キー={key}", "公開=1"]
    with open(os.path.join(folder, "Velmora.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


class Console:
    """The console as a child process, driven by lines on stdin."""

    def __init__(self, exe, folder):
        self.exe, self.folder = exe, folder
        self.lines = queue.Queue()
        self.proc = None
        self.start()

    def start(self):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.proc = subprocess.Popen([self.exe, "--folder", self.folder, "--answer", "yes"],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, env=env, bufsize=1)
        threading.Thread(target=self._read, args=(self.proc,), daemon=True).start()
        self.expect(lambda l: l.startswith("ready "), 30)

    def _read(self, proc):
        for line in proc.stdout:
            self.lines.put(line.rstrip("\n"))

    def expect(self, pred, timeout):
        end = time.time() + timeout
        while time.time() < end:
            try:
                line = self.lines.get(timeout=max(0.01, end - time.time()))
            except queue.Empty:
                break
            if pred(line):
                return line
        raise AssertionError("the console did not say what was expected in time")

    def command(self, line, answer=None):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        if answer is not None:
            got = self.expect(lambda l: l.startswith(answer), 10)
            self.expect(lambda l: l.endswith(" " + line) and l.split()[0] in ("done", "failed"), 10)
            return got
        done = self.expect(lambda l: l.endswith(" " + line) and l.split()[0] in ("done", "failed"), 10)
        assert done.startswith("done "), done
        return done

    def teamview(self):
        line = self.command("teamview url", "teamview ")
        fields = dict(f.split("=", 1) for f in line.split()[1:])
        return fields

    def rss_kb(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def sanitized(self):
        """True for a console built with AddressSanitizer, whose memory figures mean little."""
        with open(f"/proc/{self.proc.pid}/maps") as f:
            return "libasan" in f.read()

    def kill(self):
        self.proc.send_signal(signal.SIGKILL)
        self.proc.wait()

    def end(self):
        try:
            self.proc.stdin.write("end\n")
            self.proc.stdin.flush()
            self.proc.wait(timeout=10)
        except Exception:
            self.kill()


class Car:
    """One velmora-carsim; records when each lap count first came back in a reply."""

    def __init__(self, exe, slot, laps, silence_ms=1500, in_range_ms=500):
        self.slot = slot
        self.told = {}  # lap count -> wall time (ms) of the first reply carrying it
        self.console_ms = {}  # lap -> the console's time for it (last_ms of the reply)
        self.own_ms = {}  # lap -> the simulator's own time for it
        self.summary = {}
        self.proc = subprocess.Popen(
            [exe, "--slot", str(slot), "--laps", str(laps), "--silence-ms", str(silence_ms),
             "--in-range-ms", str(in_range_ms), "--interval-ms", "100", "--max-seconds", "300"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            now = time.time() * 1000
            if line.startswith("reply ") and " lap=" in line:
                n = int(line.split(" lap=")[1].split()[0])
                self.told.setdefault(n, now)
                self.console_ms.setdefault(n, int(line.split(" last_ms=")[1].split()[0]))
            elif line.startswith("lap "):
                f = dict(x.split("=") for x in line.split()[1:])
                self.own_ms[int(f["n"])] = int(f["ms"])
            elif line.startswith("summary "):
                self.summary = {k: int(v) for k, v in (x.split("=") for x in line.split()[1:])}

    def wait(self, timeout=120):
        self.proc.wait(timeout=timeout)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()


def get(path, key=KEY, port=PORT, method="GET", timeout=5):
    url = f"http://127.0.0.1:{port}{path}"
    if key is not None:
        url += ("&" if "?" in path else "?") + "k=" + key
    req = urllib.request.Request(url, method=method)
    try:
        with urllib.request.urlopen(req, timeout=timeout) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


def scratch():
    return tempfile.TemporaryDirectory(prefix="velmora_teamview_")


class Checks:
    """Counts named checks; the run fails at the end if any failed."""

    def __init__(self):
        self.passed, self.failed = 0, 0

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if ok:
            self.passed += 1
        else:
            self.failed += 1

    def finish(self):
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        return 1 if self.failed else 0
