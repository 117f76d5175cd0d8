#!/usr/bin/env python3
"""The console's own share of each reply, from a journal's traffic record.

Every datagram a car socket handled is recorded with its kernel arrival stamp and every reply
with the moment it was handed to the kernel, both on the monotonic clock; a car's replies go
in the order of its datagrams, so the n-th reply of a slot answers its n-th datagram. The time
between the two is what the console added to the round trip: its wake-up, its queue and its
work, and for a lap the synced commit the reply waits for.

Replies are split three ways: the one that brought a new lap count (it waits for the lap's
commit), the replies of the same car to datagrams that arrived while that one waited (they go
out behind it, carrying the same lap count), and all the others ("ordinary").

    reply_split.py JOURNAL   prints one line per kind: count, p50, p99, p99.9 and max in us
"""
import sqlite3
import sys


def lap_count(reply):
    """The lap count of a reply with a status block, or None (the same parse as the loadgen)."""
    run = 0
    while 1 + run < len(reply) and 48 <= reply[1 + run] <= 57:
        run += 1
    digits = run - 34
    if len(reply) >= 60 and 3 <= digits <= 9 and reply[1 + run:2 + run] == b"/":
        return int(reply[1:1 + digits])
    return None


def pairs(rows):
    """[(slot, arrival ns, reply ns, lap count)] in order of arrival."""
    waiting, out = {}, []
    for kind, slot, ns, data in rows:
        if kind == "in":
            waiting.setdefault(slot, []).append(ns)
        elif kind == "out" and waiting.get(slot):
            out.append((slot, waiting[slot].pop(0), ns, lap_count(bytes(data))))
        elif kind in ("start", "resume"):
            waiting.clear()
    out.sort(key=lambda p: p[1])
    return out


def split(paired):
    """{kind: sorted latencies in ns}."""
    kinds = {"ordinary": [], "lap": [], "behind a lap": []}
    last, holding = {}, {}
    for slot, arrival, sent, lap in paired:
        latency = sent - arrival
        if lap is not None and slot in last and lap != last[slot]:
            kinds["lap"].append(latency)
            holding[slot] = sent
        elif holding.get(slot, -1) >= arrival:
            kinds["behind a lap"].append(latency)
        else:
            kinds["ordinary"].append(latency)
        if lap is not None:
            last[slot] = lap
    return {k: sorted(v) for k, v in kinds.items()}


def line(kind, values):
    if not values:
        return f"{kind}: none"

    def at(q):
        return values[min(len(values) - 1, int(q * len(values)))] / 1000

    return (f"{kind}: n={len(values)} p50={at(0.5):.1f} p99={at(0.99):.1f} "
            f"p999={at(0.999):.1f} max={values[-1] / 1000:.1f} us")


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    db = sqlite3.connect(f"file:{argv[1]}?mode=ro", uri=True)
    rows = db.execute("SELECT kind, slot, ns, bytes FROM traffic ORDER BY id").fetchall()
    kinds = split(pairs(rows))
    everything = sorted(v for values in kinds.values() for v in values)
    print("console's share of the round trip, arrival stamp to reply handed to the kernel")
    print(line("  all", everything))
    for kind, values in kinds.items():
        print(line("  " + kind, values))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
