#!/usr/bin/env python3
"""Each lap reply against the syncs it waited for, from a journal and the sync trace.

The journal's traffic record gives each lap-recording datagram's kernel arrival stamp and the
moment its reply left (reply_split.py pairs them); the sync trace (libvelmora_sync_delay.so
with VELMORA_SYNC_TRACE) gives every sync of the log, both on the monotonic clock. A lap's
reply is split into: arrival to the start of the first log sync after it ("before"), the
syncs between arrival and reply, and the end of the last of them to the reply ("after").
A lap that waited for more than one sync, or met one already under way when it arrived, is
counted: that is where a reply can exceed its own sync by more than the console's work.

    lap_sync_split.py JOURNAL SYNC_TRACE
"""
import re
import sqlite3
import sys

import reply_split


def log_syncs(trace_path):
    """[(start ns, end ns)] of every sync of the journal's log, sorted."""
    out = []
    with open(trace_path) as f:
        for line in f:
            m = re.match(r"sync t_ns=(\d+) took_us=(\d+) tid=\d+ file=(\S+)", line)
            if m and m.group(3).endswith("-wal"):
                start = int(m.group(1))
                out.append((start, start + int(m.group(2)) * 1000))
    return sorted(out)


def lap_replies(rows):
    """[(arrival ns, reply ns)] of the replies that brought a new lap count."""
    last, laps = {}, []
    for slot, arrival, sent, lap in reply_split.pairs(rows):
        if lap is not None and slot in last and lap != last[slot]:
            laps.append((arrival, sent))
        if lap is not None:
            last[slot] = lap
    return laps


def pct(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * len(values)))] if values else 0


def main():
    db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
    rows = db.execute("SELECT kind, slot, ns, bytes FROM traffic ORDER BY id").fetchall()
    syncs = log_syncs(sys.argv[2])
    before, waited, after, beyond = [], [], [], []
    several = met = none = 0
    for arrival, sent in lap_replies(rows):
        own = [s for s in syncs if s[0] >= arrival and s[1] <= sent]
        if any(s[0] < arrival < s[1] for s in syncs):
            met += 1
        if not own:
            none += 1
            continue
        several += len(own) > 1
        before.append(own[0][0] - arrival)
        waited.append(own[-1][1] - own[0][0])
        after.append(sent - own[-1][1])
        beyond.append(sent - arrival - (own[0][1] - own[0][0]))

    def line(name, v):
        print(f"  {name:<32} p50 {pct(v, .5) / 1e6:7.3f}  p99 {pct(v, .99) / 1e6:7.3f}  "
              f"max {max(v, default=0) / 1e6:7.3f} ms")

    print(f"laps {len(before) + none}: {several} waited for more than one sync, {met} met a "
          f"sync under way, {none} had no sync of their own")
    line("arrival to its sync", before)
    line("its syncs", waited)
    line("its last sync to the reply", after)
    line("the reply beyond its first sync", beyond)


if __name__ == "__main__":
    main()
