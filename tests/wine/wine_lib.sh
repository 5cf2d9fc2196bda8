# tests/wine/wine_lib.sh: the plumbing of run_wine_tests.sh, sourced once it has set ROOT and
# LINUX_BUILD: the tools the run needs, a work folder removed at the end, the MinGW-w64 build,
# a display of its own, a Wine prefix with one server for the whole run, COM ports that lead
# to the simulated module and nowhere else, and the verdicts.
# shellcheck shell=bash

JOBS=$(nproc)
MINGW_BUILD=$ROOT/build-mingw
STARTED=$SECONDS

skip() {
    echo "wine: skipped: $* (Debian packages: g++-mingw-w64-x86-64-posix wine64 googletest nasm dpkg-dev)"
    exit 0
}

command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || skip "MinGW-w64 (posix) not installed"
PATH=$PATH:/usr/lib/wine # where Debian's wine64 alone puts its programs
WINE=$(command -v wine64 || command -v wine) || skip "Wine not installed"
WINESERVER=$(command -v wineserver) || skip "Wine not installed"
[ -f /usr/src/googletest/CMakeLists.txt ] || skip "GoogleTest sources not installed"
for tool in xdotool xclip import compare convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "wine: $tool is missing"; exit 1; }
done

PASSED=0
FAILED=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/wine_tests.XXXXXX")
PREFIX=$WORK/prefix
MODULE_PID= PANEL_PID= HUB_PID= # one module at a time

stop() { # stop PANEL_PID|MODULE_PID: ends that process, if any
    if [ -n "${!1}" ]; then { kill "${!1}" && wait "${!1}"; } 2>/dev/null || true; fi
    printf -v "$1" ''
}
stop_module() { stop MODULE_PID; }

cleanup() {
    stop PANEL_PID
    stop HUB_PID
    stop_module
    if [ -d "$PREFIX" ]; then # only our own prefix's server, which saves into the prefix
        WINEPREFIX=$PREFIX "$WINESERVER" -k 2>/dev/null || true
        WINEPREFIX=$PREFIX "$WINESERVER" -w 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

phase() { printf '\n== %s (%ds)\n' "$*" $((SECONDS - STARTED)); }
# verdict ok|FAIL NAME [FILE...]: a failure shows the files.
verdict() {
    local file
    printf '%-6s%s\n' "$1" "$2"
    if [ "$1" = ok ]; then PASSED=$((PASSED + 1)) && return; fi
    FAILED=$((FAILED + 1))
    for file in "${@:3}"; do if [ -f "$file" ]; then sed 's/^/      | /' "$file"; fi; done
}

# build_windows TARGET...: the MinGW-w64 build of the targets; a compiler warning fails it.
build_windows() {
    cmake -S "$ROOT" -B "$MINGW_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DPANEL_BUILD_BENCH=OFF \
        -DPANEL_WINDOWS_JPEG_DIR="$ROOT/build-deps/libjpeg-turbo-mingw" \
        -DPANEL_WINDOWS_FREETYPE_DIR="$ROOT/build-deps/freetype-mingw" >"$WORK/configure.log" ||
        { cat "$WORK/configure.log"; exit 1; }
    cmake --build "$MINGW_BUILD" -j"$JOBS" ${@/#/--target } >"$WORK/build.log" 2>&1 ||
        { cat "$WORK/build.log"; exit 1; }
    ! grep -A3 "warning:" "$WORK/build.log" || { echo "wine: the MinGW build has warnings"; exit 1; }
}

# find_linux_tools TOOL...: each built in LINUX_BUILD if missing.
find_linux_tools() {
    local tool
    for tool in "$@"; do
        [ -x "$LINUX_BUILD/$tool" ] || cmake --build "$LINUX_BUILD" --target "${tool##*/}" -j"$JOBS" >/dev/null
        [ -x "$LINUX_BUILD/$tool" ] || { echo "wine: no $tool in $LINUX_BUILD"; exit 1; }
    done
}
LCDSIM=$LINUX_BUILD/sim/lcdsim
exe() { echo "$MINGW_BUILD/$1"; }

# make_wine_prefix: a prefix of the run's own, its one server started and booted.
make_wine_prefix() {
    local face
    export WINEPREFIX=$PREFIX WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d" # no Mono/Gecko prompts
    unset WAYLAND_DISPLAY
    mkdir -p "$WINEPREFIX"
    # One server for the whole run, so the mapped ports stay. Its output is dropped: it dumps
    # its state on the hang-up a closing pseudo-terminal sends it.
    "$WINESERVER" -p >/dev/null 2>&1
    "$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log"; exit 1; }
    # The window's font has no Chinese glyphs of its own; Windows links it to a font that has
    # them, and so does this prefix.
    for face in "MS Sans Serif" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2"; do
        "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
            /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
    done
}

# Leaves no COM port. Wine takes an unmapped COMn for this machine's /dev/ttyS(n-1); where
# that exists, COMn leads to an empty folder instead, which opens as no device.
unmap_ports() {
    local n
    rm -f "$WINEPREFIX"/dosdevices/com*
    mkdir -p "$WORK/not_a_port"
    for n in $(seq 1 99); do
        if [ -e "/dev/ttyS$((n - 1))" ]; then ln -s "$WORK/not_a_port" "$WINEPREFIX/dosdevices/com$n"; fi
    done
}

# Stops the run unless every COM port leads to the empty folder or to the module's
# pseudo-terminal ($1): nothing may write to a real port.
check_ports() {
    local link target
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -e "$link" ] || [ -L "$link" ] || continue
        target=$(readlink "$link")
        [ "$target" = "$WORK/not_a_port" ] || { [ -n "${1:-}" ] && [ "$target" = "$1" ]; } ||
            { echo "wine: ${link##*/} leads to $target; stopping before anything writes"; exit 1; }
    done
}

# start_module NAME PORTS [lcdsim options]: a module (MODULE_PID) on the ports, and no others.
start_module() {
    local name=$1 ports=$2 output=$WORK/$1.sim pty='' port
    shift 2
    unmap_ports
    : >"$output"
    "$LCDSIM" --no-pace --transcript "$WORK/$name.transcript" "$@" >"$output" 2>&1 &
    MODULE_PID=$!
    for _ in $(seq 50); do # lcdsim prints its pseudo-terminal's path first
        pty=$(head -n1 "$output")
        [ -z "$pty" ] || break
        sleep 0.1
    done
    [ -n "$pty" ] || { echo "wine: lcdsim did not start: $(cat "$output")"; exit 1; }
    for port in $ports; do
        ln -sfn "$pty" "$WINEPREFIX/dosdevices/$(echo "$port" | tr '[:upper:]' '[:lower:]')"
    done
    check_ports "$pty"
    MODULE_PTY=$pty
}

# run_wine NAME EXE [args]: output to $WORK/NAME.out with Linux line ends, status to STATUS.
run_wine() {
    STATUS=0
    (cd "$WORK" && exec timeout 120 "$WINE" "${@:2}") >"$WORK/$1.raw" 2>&1 || STATUS=$?
    tr -d '\r' <"$WORK/$1.raw" >"$WORK/$1.out"
}

# gtest NAME EXE [gtest args]: some cases ran, all passed, none was skipped.
gtest() {
    local name=$1 out=$WORK/$1.out count result=FAIL
    shift
    run_wine "$name" "$@" --gtest_color=no
    count=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' "$out")
    [ "$STATUS" -eq 0 ] && [ "${count:-0}" -gt 0 ] && ! grep -q "^\[  SKIPPED \]" "$out" && result=ok
    verdict "$result" "$name (status $STATUS, ${count:-0} cases passed)" "$out"
}

# expect_lcdctl NAME STATUS EXPECTED_FILE [lcdctl args]: its log and messages, in order.
expect_lcdctl() {
    local name=$1 status=$2 expected=$3 result=FAIL
    shift 3
    run_wine "$name" "$(exe cli/lcdctl.exe)" "$@"
    [ "$STATUS" -eq "$status" ] && diff -u "$expected" "$WORK/$name.out" >"$WORK/$name.diff" && result=ok
    verdict "$result" "$name (status $STATUS, expected $status)" "$WORK/$name.diff" "$WORK/$name.out"
}

# expected LINE...: a file holding the lines, for diff; its path on stdout.
expected() {
    local file
    file=$(mktemp "$WORK/expected.XXXXXX")
    if [ $# -gt 0 ]; then printf '%s\n' "$@" >"$file"; fi
    echo "$file"
}

# wait_until SECONDS COMMAND...: true once the command is, false at the deadline.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}
