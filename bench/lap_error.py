#!/usr/bin/env python3
"""The console's lap times against the cars' own, from velmora-carsim outputs.

Each car prints "lap n=N ms=M" (its own time, from the first datagram of one pass to the first
of the next) and then "pass n=N+1"; the first reply after that pass line that carries a status
block is the one to the datagram that closed the lap: its lap= is the console's lap number and
its last_ms= the console's time for it. The console's numbers may start higher than the car's
(a console already holding laps), so they are paired by order; a lap whose number breaks the
car's offset is counted as miscounted. Lap 1 is left out (the console times it from Start).

    lap_error.py CAR_OUTPUT...   prints one line per file and one for all of them
"""
import re
import sys

REPLY = re.compile(r"^reply .*\blap=(\d+) last_ms=(\d+)")


def pairs(lines):
    """[(car lap, own ms, console lap, console ms)] for every lap with a reply."""
    out, own, waiting = [], None, False
    for line in lines:
        if line.startswith("lap n="):
            f = dict(kv.split("=", 1) for kv in line.split()[1:3])
            own = (int(f["n"]), int(f["ms"]))
        elif line.startswith("pass n="):
            waiting = own is not None
        elif waiting:
            m = REPLY.match(line)
            if m:
                out.append((own[0], own[1], int(m.group(1)), int(m.group(2))))
                waiting = False
    return out


def summary(paired):
    """(laps compared, miscounted, sorted |errors| in ms) for laps 2 onwards."""
    if not paired:
        return 0, 0, []
    offset = paired[0][2] - paired[0][0]
    errors, miscounted = [], 0
    for n, own, con_n, con in paired:
        if con_n - n != offset:
            miscounted += 1
        elif n > 1:
            errors.append(abs(con - own))
    return len(errors), miscounted, sorted(errors)


def outliers(name, paired, limit=1):
    """The laps off by more than `limit` ms, signed (console minus car), for a closer look."""
    if not paired:
        return []
    offset = paired[0][2] - paired[0][0]
    return [f"{name} lap {n}: console {con} ms, car {own} ms ({con - own:+d})"
            for n, own, con_n, con in paired
            if n > 1 and con_n - n == offset and abs(con - own) > limit]


def line(name, paired):
    n, miscounted, e = summary(paired)
    if not e:
        return f"{name} laps=0 miscounted={miscounted}"
    p = lambda q: e[min(len(e) - 1, int(q * len(e)))]
    return (f"{name} laps={n} miscounted={miscounted} lap_error_ms p50={p(0.5)} p99={p(0.99)} "
            f"max={e[-1]}")


def main(paths):
    everything = []
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            paired = pairs(f)
        name = path.rsplit("/", 1)[-1].removesuffix(".out")
        print(line(name, paired))
        for text in outliers(name, paired):
            print("  " + text)
        everything.append(paired)
    # Offsets differ between cars, so each car's laps are judged on their own, then pooled.
    n = sum(summary(p)[0] for p in everything)
    mis = sum(summary(p)[1] for p in everything)
    e = sorted(x for p in everything for x in summary(p)[2])
    if e:
        q = lambda v: e[min(len(e) - 1, int(v * len(e)))]
        print(f"all cars laps={n} miscounted={mis} lap_error_ms p50={q(0.5)} p99={q(0.99)} "
              f"max={e[-1]}")
    else:
        print(f"all cars laps=0 miscounted={mis}")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
