#!/usr/bin/env bash
# bench/app/start_bench.sh LINUX_BUILD MINGW_BUILD [RUNS]: the Win32 panel under Wine beside
# the Qt panel on Linux, measured the same way on one private Xvfb display: from the start
# of the program to the demo picture painted in Image1 (a pixel of it read back from the
# X server every few milliseconds), and the memory the program holds two seconds later
# (VmRSS; for Wine, the program's own process, the shared wineserver apart). No port is
# listed to either. Prints the median of RUNS starts (default 5).
set -euo pipefail
LINUX_BUILD=$(cd "${1:?usage: $0 LINUX_BUILD MINGW_BUILD [RUNS]}" && pwd)
MINGW_BUILD=$(cd "${2:?usage: $0 LINUX_BUILD MINGW_BUILD [RUNS]}" && pwd)
RUNS=${3:-5}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
PATH=$PATH:/usr/lib/wine
WINE=$(command -v wine64 || command -v wine)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/start_bench.XXXXXX")
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
XVFB=

cleanup() {
    pkill -f "$MINGW_BUILD/app/win32/lcdpanel.exe" 2>/dev/null || true
    WINEPREFIX=$WORK/prefix wineserver -k 2>/dev/null || true
    [ -z "$XVFB" ] || kill "$XVFB" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

for n in $(seq 200 240); do
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break 2; sleep 0.1; done
done
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1
"$WINE" wineboot -i >/dev/null 2>&1
rm -f "$WINEPREFIX"/dosdevices/com* # no port for either panel: nothing is opened
mkdir -p "$WORK/not_a_port"
for n in $(seq 1 99); do
    if [ -e "/dev/ttyS$((n - 1))" ]; then ln -s "$WORK/not_a_port" "$WINEPREFIX/dosdevices/com$n"; fi
done

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The colour of the screen pixel at X, Y.
pixel() { import -window root -crop "1x1+$1+$2" txt:- 2>/dev/null | sed -n 's/.*#\([0-9A-F]\{6\}\).*/\1/p'; }

# measure NAME COMMAND...: one start, as "milliseconds kilobytes".
measure() {
    local start pid window x y deadline rss
    start=$(now_ms)
    (cd "$ROOT/demo" && exec "${@:2}") >/dev/null 2>&1 &
    deadline=$((start + 60000))
    # Asked in a loop: xdotool's own --sync waits half a second between its looks.
    until window=$(xdotool search --name "Velnor" 2>/dev/null | head -n 1) && [ -n "$window" ]; do
        [ "$(now_ms)" -lt "$deadline" ] || { echo "no window"; return 1; }
    done
    # Image1's top-left corner: 23, 156 in the client area. The demo picture is dark there.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    x=$((X + 23 + 40))
    y=$((Y + 156 + 40))
    while [ "$(pixel "$x" "$y")" = "C0DCC0" ] || [ -z "$(pixel "$x" "$y")" ]; do
        [ "$(now_ms)" -lt "$deadline" ] || { echo "no paint"; return 1; }
    done
    local painted
    painted=$(($(now_ms) - start))
    sleep 2
    pid=$(pgrep -f "$1" | head -n 1)
    rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status")
    kill "$pid" 2>/dev/null || true
    while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
    echo "$painted $rss"
}

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

report() {
    local name=$1 results=$WORK/$1.txt
    shift
    : >"$results"
    for _ in $(seq "$RUNS"); do measure "$@" >>"$results"; done
    printf '%-28s start to first paint %5s ms   memory %6s KiB   (median of %s)\n' "$name" \
        "$(cut -d' ' -f1 "$results" | median)" "$(cut -d' ' -f2 "$results" | median)" "$RUNS"
}

report "Qt panel, Linux" "$LINUX_BUILD/app/qt/lcdpanel" "$LINUX_BUILD/app/qt/lcdpanel"
report "Win32 panel, Wine" "lcdpanel.exe" "$WINE" "$MINGW_BUILD/app/win32/lcdpanel.exe"
echo "wineserver, shared by every Wine program: $(sed -n 's/^VmRSS:[[:space:]]*//p' \
    "/proc/$(pgrep -n wineserver)/status")" # the newest: this run's
