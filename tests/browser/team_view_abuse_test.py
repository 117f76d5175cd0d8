#!/usr/bin/env python3
"""Bad input against the team view of the real console while three velmora-carsim cars race:
1,000 connections opened and dropped (empty, half a request, garbage), connections over the
limit, a WebSocket upgrade, oversized headers, and pages that never read. Throughout, the
console must keep answering the feed and the cars, time every lap as the cars do, and its
memory must stay flat. Nothing here is timed against a bound that a loaded machine could miss,
except that an answer must come at all.
usage: team_view_abuse_test.py CONSOLE CARSIM"""
import os
import random
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import team_view_rig as rig  # noqa: E402

LIMIT = 200
LAP_TOLERANCE_MS = 50


def connect():
    s = socket.create_connection(("127.0.0.1", rig.PORT), timeout=5)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return s


def answer(s, timeout=5):
    s.settimeout(timeout)
    data = b""
    try:
        while b"\r\n" not in data:
            chunk = s.recv(4096)
            if not chunk:
                break
            data += chunk
    except (socket.timeout, ConnectionError):
        pass
    return data


def closed_by_server(s, timeout):
    """True once the server closed `s` (EOF or reset) within `timeout` seconds."""
    s.settimeout(0.5)
    end = time.time() + timeout
    while time.time() < end:
        try:
            if s.recv(65536) == b"":
                return True
        except socket.timeout:
            continue
        except ConnectionError:
            return True
    return False


def feed_answers(t, what):
    # Connections just dropped may hold their places a moment longer (a 503 meanwhile is the
    # limit at work); the feed must answer again soon.
    start = time.time()
    status, body = 0, b""
    while time.time() - start < 10:
        status, body = rig.get("/api/state", timeout=10)
        if status == 200:
            break
        time.sleep(0.1)
    t.check(status == 200 and body.startswith(b"{"),
            f"the feed answers after {what} ({(time.time() - start) * 1000:.0f} ms)")


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    console_exe, carsim_exe = sys.argv[1], sys.argv[2]
    t = rig.Checks()
    rnd = random.Random(19)
    with rig.scratch() as folder:
        rig.write_settings(folder)
        console = rig.Console(console_exe, folder)
        for s in range(3):
            console.command(f"setup {s} 127.0.0.1")
        console.command("start")
        # 20 laps of 2 s: the cars race through all of the abuse below (about 30 s).
        cars = [rig.Car(carsim_exe, s, 20) for s in range(3)]
        t0 = time.time()
        try:
            time.sleep(3)
            rss0 = console.rss_kb()

            print(f"{time.time() - t0:.1f} s: 1,000 connections")
            # 1,000 connections opened and dropped, in bursts of 100 open at once.
            for burst in range(10):
                socks = [connect() for _ in range(100)]
                for k, s in enumerate(socks):
                    if k % 3 == 1:
                        s.sendall(b"GET /api/state?k=" + rig.KEY.encode() + b" HTTP/1.1\r\nHost: x\r\n")
                    elif k % 3 == 2:
                        s.sendall(bytes(rnd.getrandbits(8) for _ in range(200)))
                for s in socks:
                    s.close()
            feed_answers(t, "1,000 connections opened and dropped")

            # Over the limit: the one too many is told 503 and closed; room comes back.
            time.sleep(0.5)
            held = [connect() for _ in range(LIMIT)]
            extra = connect()
            extra.sendall(b"GET /api/state?k=" + rig.KEY.encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n")
            t.check(answer(extra).startswith(b"HTTP/1.1 503"), "the connection over the limit gets 503")
            extra.close()
            for s in held:
                s.close()
            time.sleep(0.5)
            feed_answers(t, "the connections over the limit")

            # A WebSocket upgrade is no way in: no 101, with or without the key.
            for key in (rig.KEY, "wrong"):
                s = connect()
                s.sendall(("GET /api/events?k=" + key + " HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\n"
                           "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
                t.check(not answer(s, 3).startswith(b"HTTP/1.1 101"), f"no WebSocket upgrade (key {key})")
                s.close()

            print(f"{time.time() - t0:.1f} s: oversized headers")
            # Oversized headers: the server stops reading and closes the connection in time.
            s = connect()
            s.setblocking(False)
            s.send(b"GET /api/state?k=" + rig.KEY.encode() + b" HTTP/1.1\r\nHost: x\r\n")
            sent = 0
            line = b"X-Filler: " + b"a" * 1000 + b"\r\n"
            end = time.time() + 3
            while sent < 8 * 1024 * 1024 and time.time() < end:
                try:
                    sent += s.send(line)
                except BlockingIOError:
                    time.sleep(0.01)
                except ConnectionError:
                    break
            s.setblocking(True)
            print(f"oversized headers: {sent // 1024} KiB taken before the server stopped reading")
            feed_answers(t, "oversized headers")
            t.check(closed_by_server(s, 15), "the connection with oversized headers is closed")
            s.close()

            print(f"{time.time() - t0:.1f} s: pages that never read")
            # Pages that never read: their streams fill, the console goes on.
            never = []
            for _ in range(20):
                p = socket.socket()
                p.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                p.connect(("127.0.0.1", rig.PORT))
                p.sendall(b"GET /api/events?k=" + rig.KEY.encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n")
                never.append(p)
            time.sleep(10)
            feed_answers(t, "20 pages that never read")
            t.check(int(console.teamview()["pages"]) == 20, "the 20 pages are counted")
            for p in never:
                p.close()
            t.check(wait_pages(console, 0), "no page is left after they closed")

            for c in cars:
                c.wait(180)
            rss1 = console.rss_kb()
            print(f"console memory: {rss0 / 1024:.1f} MiB before, {rss1 / 1024:.1f} MiB after")
            if console.sanitized():
                print("memory not judged: AddressSanitizer keeps freed memory in quarantine")
            else:
                t.check(rss1 - rss0 < 24 * 1024, "the console's memory stayed flat (< 24 MiB more)")
            for c in cars:
                t.check(c.summary.get("sent") == c.summary.get("replies"),
                        f"car {c.slot} got a reply to every datagram: {c.summary}")
                errors = {n: abs(c.console_ms[n] - c.own_ms[n]) for n in c.own_ms if n > 1 and n in c.console_ms}
                worst = max(errors.values())
                print(f"car {c.slot} laps off by more than 20 ms: " +
                      str({n: e for n, e in errors.items() if e > 20}))
                # Under AddressSanitizer the console runs a few times slower, on the same two
                # cores as the flood: it keeps timing, with the tolerance of a slower machine.
                tolerance = LAP_TOLERANCE_MS * (3 if console.sanitized() else 1)
                t.check(worst <= tolerance, f"car {c.slot}'s laps timed as the car timed them (worst {worst} ms)")
        finally:
            for c in cars:
                c.stop()
            console.end()
    return t.finish()


def wait_pages(console, n, timeout=5):
    end = time.time() + timeout
    while time.time() < end:
        if int(console.teamview()["pages"]) == n:
            return True
        time.sleep(0.2)
    return False


if __name__ == "__main__":
    sys.exit(main())
