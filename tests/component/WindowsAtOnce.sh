#!/usr/bin/env bash
# Starts several maintenance windows at the same moment on one Xvfb, each on its own
# calendar, round after round, and closes each by its Exit access key (Alt+E): every
# window must appear and every program must end with 0. The server is started without
# -noreset, so it resets whenever its last client leaves: a program that starts just then
# must neither be refused a display nor be ended by Qt.
#   WindowsAtOnce.sh ZEVWORKCAL [ROUNDS]
set -euo pipefail
program=$1
rounds=${2:-6}

if [[ -z "${ZEV_WINDOWS_AT_ONCE_INNER:-}" ]]; then
    export ZEV_WINDOWS_AT_ONCE_INNER=1
    exec env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
        xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -dpi 96" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each case: how many windows start at once, and whether a short X client (xdpyinfo)
# comes and goes as they start, so that the server resets in the middle of their starts.
cases=("2 none" "2 passer" "3 passer")

# Waits for the window of `pid`, presses Alt+E in it and waits for the program to end;
# prints "closed", "no window" or "not closed" (then the program is killed).
close_window() {
    local pid=$1 window
    if ! window=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null |
                  head -n 1) || [[ -z "$window" ]]; then
        kill "$pid" 2>/dev/null || true
        echo "no window"
        return
    fi
    # The window may not take the focus at once while the others start.
    local tries=0
    while kill -0 "$pid" 2>/dev/null && ((tries < 60)); do
        xdotool windowfocus --sync "$window" 2>/dev/null || true
        xdotool key --clearmodifiers alt+e 2>/dev/null || true
        timeout 1 tail --pid="$pid" -f /dev/null || true
        tries=$((tries + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        echo "not closed"
    else
        echo closed
    fi
}

failures=0
for c in "${cases[@]}"; do
    read -r count companion <<<"$c"
    rm -f "$work"/s*.db
    for n in $(seq 1 "$count"); do
        "$program" --db "$work/s$n.db" init >/dev/null
        "$program" --db "$work/s$n.db" generate 2026-01-05 >/dev/null
    done
    for round in $(seq 1 "$rounds"); do
        pids=()
        for n in $(seq 1 "$count"); do
            "$program" --db "$work/s$n.db" show >"$work/out$n" 2>"$work/err$n" &
            pids+=($!)
        done
        [[ $companion == passer ]] && { xdpyinfo >/dev/null 2>&1 || true; }
        for n in $(seq 1 "$count"); do
            pid=${pids[$((n - 1))]}
            result=$(close_window "$pid")
            rc=0
            wait "$pid" || rc=$?
            if [[ $result != closed || $rc -ne 0 ]]; then
                failures=$((failures + 1))
                echo "WindowsAtOnce: $count at once ($companion), round $round, window $n: $result, exit code $rc" >&2
                cat "$work/err$n" >&2
            fi
        done
    done
    echo "WindowsAtOnce: $count at once ($companion): $rounds rounds done"
done
if ((failures > 0)); then
    echo "WindowsAtOnce: $failures windows failed" >&2
    exit 1
fi
