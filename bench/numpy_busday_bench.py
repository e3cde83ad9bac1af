#!/usr/bin/python3
"""numpy's business-day functions timed on a calendar of ours, the baseline of
range_bench: the rest days on weekdays of t_WorkCalendar (read from the SQLite file with
Python's sqlite3) are numpy's holidays, Saturdays and Sundays its weekend, as in the
calendar. Asked:
  busday_count over the pairs in PAIRS (one "FROM TO" line each), vectorised;
  busday_offset(day, 0, roll="forward") called once per day of the calendar, in a loop;
  is_busday over every day of the calendar, vectorised.
Prints "count", "offset_loop" and "is_busday", each with the real and the CPU time in
nanoseconds per pair or per day, the best of several runs.
  numpy_busday_bench.py DATABASE PAIRS"""
import sqlite3
import sys
import time

import numpy as np

database, pairs_file = sys.argv[1], sys.argv[2]
rows = sqlite3.connect(database).execute(
    "SELECT FDay, FInterID FROM t_WorkCalendar ORDER BY FDay").fetchall()
days = np.array([r[0] for r in rows], dtype="datetime64[D]")
rest = np.array([r[1] == 0 for r in rows])
weekday = (days.astype("int64") - 4) % 7  # 0 = Monday
calendar = np.busdaycalendar(weekmask="1111100", holidays=days[rest & (weekday < 5)])
with open(pairs_file) as f:
    pairs = [line.split() for line in f if line.strip()]
begin = np.array([p[0] for p in pairs], dtype="datetime64[D]")
end = np.array([p[1] for p in pairs], dtype="datetime64[D]")


def best(work, count, runs=5):
    real = cpu = float("inf")
    for _ in range(runs):
        r0, c0 = time.perf_counter(), time.process_time()
        work()
        real = min(real, time.perf_counter() - r0)
        cpu = min(cpu, time.process_time() - c0)
    return real * 1e9 / count, cpu * 1e9 / count


def offset_loop():
    for day in days:
        np.busday_offset(day, 0, roll="forward", busdaycal=calendar)


# The answers are checked against ours by the tests; here they only have to be made.
for name, work, count in (
    ("count", lambda: np.busday_count(begin, end, busdaycal=calendar), len(pairs)),
    ("offset_loop", offset_loop, len(days)),
    ("is_busday", lambda: np.is_busday(days, busdaycal=calendar), len(days)),
):
    real, cpu = best(work, count)
    print(name, real, cpu)
