#!/usr/bin/python3
"""The calendar questions answered by numpy's business-day functions, for the tests that
compare ours with them. Reads one JSON object on stdin:
  {"holidays": [DATE...],               every day that is not a work day, outside days too
   "first": DATE,                        the calendar's first work day (for numbers)
   "pairs": [[FROM, TO]...],            busday_count
   "days": [DATE...],                    is_busday and the work-day number of each
   "offsets": [[DATE, N]...]}            busday_offset rolled backward: [roll, result]
and writes the answers on stdout, one per line in the order asked: the counts, then the
days ("1 N" for a business day numbered N, "0 N" for another), then the offsets ("ROLL
FORWARD RESULT": rolled backward, rolled forward, and N business days on from the day
rolled backward). Every day is a business day by the week mask; the holidays say which
are not."""
import json
import sys

import numpy as np

question = json.load(sys.stdin)
calendar = np.busdaycalendar(weekmask="1111111", holidays=question["holidays"])
answer = {}
pairs = question.get("pairs", [])
if pairs:
    begin = np.array([p[0] for p in pairs], dtype="datetime64[D]")
    end = np.array([p[1] for p in pairs], dtype="datetime64[D]")
    answer["pairs"] = np.busday_count(begin, end, busdaycal=calendar).tolist()
days = np.array(question.get("days", []), dtype="datetime64[D]")
answer["days"] = [
    [bool(b), int(n) + 1]
    for b, n in zip(
        np.is_busday(days, busdaycal=calendar),
        np.busday_count(np.datetime64(question["first"]), days, busdaycal=calendar),
    )
]
answer["offsets"] = []
for day, n in question.get("offsets", []):
    d = np.datetime64(day, "D")
    roll = np.busday_offset(d, 0, roll="backward", busdaycal=calendar)
    after = np.busday_offset(d, 0, roll="forward", busdaycal=calendar)
    result = np.busday_offset(d, n, roll="backward", busdaycal=calendar)
    answer["offsets"].append([str(roll), str(after), str(result)])
for count in answer.get("pairs", []):
    print(count)
for business, number in answer["days"]:
    print(int(business), number)
for roll, after, result in answer["offsets"]:
    print(roll, after, result)
