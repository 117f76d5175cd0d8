#!/usr/bin/env python3
"""Checks bench/lap_error.py's pairing of the console's laps with a car's own."""
import unittest

from lap_error import pairs, summary


def car(laps, console_first, told_ms, stale=()):
    """A car's output: its own laps of 2,500 ms, the console's laps numbered from
    console_first, told_ms[n] for car lap n; laps in `stale` answered with the old count."""
    out = ["pass n=1 t_ns=0", "reply flag=N msg=''"]
    for n in range(1, laps + 1):
        con = console_first + n - (1 if n in stale else 0)
        out += [f"lap n={n} ms=2500", f"pass n={n + 1} t_ns={n}",
                f"reply flag=N lap={con} last_ms={told_ms.get(n, 2500)} best_ms=1 msg=''",
                f"reply flag=N lap={con} last_ms=9999 best_ms=1 msg=''"]
    return out


class LapErrorTest(unittest.TestCase):
    def test_errors_from_lap_two_and_numbering_offsets(self):
        cases = [
            # (console's first lap number, told times, stale laps, laps compared, miscounted, max)
            (1, {1: 2600, 3: 2501}, (), 4, 0, 1),      # empty console: lap 1 timed from Start
            (5001, {2: 2498}, (), 4, 0, 2),            # 5,000 laps held before the race
            (1, {}, (4,), 3, 1, 0),                    # a lap the console did not count
        ]
        for first, told, stale, n, mis, worst in cases:
            with self.subTest(first=first, stale=stale):
                compared, miscounted, errors = summary(pairs(car(5, first, told, stale)))
                self.assertEqual((compared, miscounted), (n, mis))
                self.assertEqual(max(errors), worst)

    def test_only_the_first_reply_after_a_pass_counts(self):
        self.assertEqual([p[3] for p in pairs(car(2, 1, {}))], [2500, 2500])


if __name__ == "__main__":
    unittest.main()
