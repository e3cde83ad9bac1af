#!/usr/bin/env bash
# Opens the maintenance window from an installed tree under Xvfb and closes it by its Exit
# access key (Alt+E), as a planner would: first through TREE/bin/zevworkcal show, then, when
# given, through a host program that loads the tree's component library and calls Show.
#   ShowWindow.sh TREE [HOST]        # HOST is run as: HOST LIBRARY show
# The tree must hold what the window needs by itself: the program, the library, the Qt
# module and the catalogues. Fails unless each window appears and each closing exits 0.
set -euo pipefail
tree=$(cd "$1" && pwd)
host=${2:-}

if [[ -z "${ZEV_SHOW_WINDOW_INNER:-}" ]]; then
    export ZEV_SHOW_WINDOW_INNER=1
    exec env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
        xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -dpi 96" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db="$work/calendar.db"
unset ZEVWORKCAL_RESOURCES
"$tree/bin/zevworkcal" --db "$db" init >/dev/null
"$tree/bin/zevworkcal" --db "$db" generate 2026-01-05 >/dev/null

# Starts a program that opens the window, waits for the window, presses Alt+E in it and
# checks that the program ends with 0.
show_and_exit() {
    local what=$1
    shift
    "$@" >"$work/out" 2>"$work/err" &
    local pid=$!
    local window
    if ! window=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1) ||
       [[ -z "$window" ]]; then
        echo "ShowWindow: $what: no window appeared" >&2
        cat "$work/err" >&2
        kill "$pid" 2>/dev/null || true
        return 1
    fi
    echo "ShowWindow: $what: window $window is up: $(xdotool getwindowname "$window")"
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers alt+e
    local rc=0
    timeout 30 tail --pid="$pid" -f /dev/null || { echo "ShowWindow: $what: Alt+E did not close the window" >&2; kill "$pid"; return 1; }
    wait "$pid" || rc=$?
    if [[ $rc -ne 0 ]]; then
        echo "ShowWindow: $what: exit code $rc" >&2
        cat "$work/err" >&2
        return 1
    fi
    echo "ShowWindow: $what: closed by Alt+E, exit code 0"
}

show_and_exit "zevworkcal show" "$tree/bin/zevworkcal" --db "$db" show
if [[ -n "$host" ]]; then
    library=$(find "$tree/lib" -maxdepth 2 -name libZevWorkCal.so.1 | head -n 1)
    ZEVWORKCAL_PROPS="Provider=SQLite;Data Source={$db};" \
        show_and_exit "a host's Show" "$host" "$library" show
fi
