#!/usr/bin/env bash
# Cross-builds the core for Windows with MinGW-w64 and runs it under Wine against the
# simulated module, which runs natively on a Linux pseudo-terminal mapped to a COM port.
#
#   tests/wine/run_wine_tests.sh LINUX_BUILD_DIR
#
# LINUX_BUILD_DIR is a Linux build of this tree; its lcdsim is built there if missing.
# The Windows build goes to build-mingw/ beside this tree's sources. Installs nothing:
# without MinGW-w64, Wine or the GoogleTest sources it says so and exits 0.
# Debian packages: g++-mingw-w64-x86-64-posix wine64 googletest
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
JOBS=$(nproc)
MINGW_BUILD=$ROOT/build-mingw
MISSING_PORT=COM77  # never mapped below
STARTED=$SECONDS

usage() {
    echo "usage: $0 LINUX_BUILD_DIR" >&2
    exit 2
}
[ $# -eq 1 ] || usage
LINUX_BUILD=$(cd "$1" && pwd) || usage

skip() {
    echo "wine: skipped: $* (Debian packages: g++-mingw-w64-x86-64-posix wine64 googletest)"
    exit 0
}

# Debian's wine64 alone installs its programs under /usr/lib/wine; the wine package adds
# the wrappers on the PATH.
find_tool() {
    local name
    for name in "$@"; do
        if command -v "$name" >/dev/null 2>&1; then
            command -v "$name"
            return 0
        fi
        if [ -x "/usr/lib/wine/$name" ]; then
            echo "/usr/lib/wine/$name"
            return 0
        fi
    done
    return 1
}

command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || skip "MinGW-w64 (posix) not installed"
WINE=$(find_tool wine64 wine) || skip "Wine not installed"
WINESERVER=$(find_tool wineserver) || skip "Wine not installed"
[ -f /usr/src/googletest/CMakeLists.txt ] || skip "GoogleTest sources not installed"

# --- bookkeeping ------------------------------------------------------------------------

PASSED=0
FAILED=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/wine_tests.XXXXXX")
PREFIX=$WORK/prefix
MODULE_PID=  # one module at a time

cleanup() {
    if [ -n "$MODULE_PID" ]; then
        kill "$MODULE_PID" 2>/dev/null || true
        wait "$MODULE_PID" 2>/dev/null || true
    fi
    # Only our own prefix's server; a prefix the caller uses is left alone.
    if [ -d "$PREFIX" ]; then
        WINEPREFIX=$PREFIX "$WINESERVER" -k 2>/dev/null || true
        WINEPREFIX=$PREFIX "$WINESERVER" -w 2>/dev/null || true  # it saves into the prefix
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

phase() { printf '\n== %s (%ds)\n' "$*" $((SECONDS - STARTED)); }

pass() {
    PASSED=$((PASSED + 1))
    echo "ok    $1"
}

fail() {
    FAILED=$((FAILED + 1))
    echo "FAIL  $1"
    shift
    local file
    for file in "$@"; do
        [ -f "$file" ] && sed 's/^/      | /' "$file"
    done
    return 0
}

# --- the Windows build --------------------------------------------------------------------

phase "MinGW-w64 build into $MINGW_BUILD"
cmake -S "$ROOT" -B "$MINGW_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPANEL_CORE_ONLY=ON -DPANEL_BUILD_BENCH=OFF >"$WORK/configure.log" ||
    { cat "$WORK/configure.log"; exit 1; }
cmake --build "$MINGW_BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log"; exit 1; }
if grep -q "warning:" "$WORK/build.log"; then
    grep -A3 "warning:" "$WORK/build.log"
    echo "wine: the MinGW build has warnings"
    exit 1
fi

LCDSIM=$LINUX_BUILD/sim/lcdsim
if [ ! -x "$LCDSIM" ]; then
    phase "building lcdsim in $LINUX_BUILD"
    cmake --build "$LINUX_BUILD" --target lcdsim -j"$JOBS" >/dev/null
fi
[ -x "$LCDSIM" ] || { echo "wine: no lcdsim in $LINUX_BUILD"; exit 1; }

exe() { echo "$MINGW_BUILD/$1"; }
TEST_EXE=$(exe tests/serial/win32_serial_test.exe)
CONSOLE_EXE=$(exe app/link_console.exe)

# --- a private, headless Wine prefix ----------------------------------------------------

phase "Wine prefix"
export WINEPREFIX=$PREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"  # no Mono/Gecko prompts
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
# One server for the whole run, so the ports mapped below stay as they are. Its output is
# dropped: it dumps its state on the hang-up a closing pseudo-terminal sends it.
"$WINESERVER" -p >/dev/null 2>&1
"$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log"; exit 1; }

# --- the simulated module -----------------------------------------------------------------

# start_module NAME [lcdsim options]: starts the module, sets MODULE_PTY and MODULE_PID.
# lcdsim prints its pseudo-terminal's path first.
start_module() {
    local name=$1 output=$WORK/$1.sim
    shift
    : >"$output"
    "$LCDSIM" --no-pace --transcript "$WORK/$name.transcript" "$@" >"$output" 2>&1 &
    MODULE_PID=$!
    for _ in $(seq 50); do
        MODULE_PTY=$(head -n1 "$output")
        [ -n "$MODULE_PTY" ] && return 0
        sleep 0.1
    done
    echo "wine: lcdsim did not start: $(cat "$output")"
    exit 1
}

stop_module() {
    [ -n "$MODULE_PID" ] || return 0
    kill "$MODULE_PID" 2>/dev/null || true
    wait "$MODULE_PID" 2>/dev/null || true
    MODULE_PID=
}

map_port() { ln -sfn "$2" "$WINEPREFIX/dosdevices/$(echo "$1" | tr '[:upper:]' '[:lower:]')"; }

# Leaves no COM port but those mapped afterwards. Wine takes an unmapped COMn for this
# machine's /dev/ttyS(n-1); where that exists, COMn leads to an empty folder instead, which
# no CreateFileA opens as a device.
unmap_ports() {
    local n
    rm -f "$WINEPREFIX"/dosdevices/com*
    mkdir -p "$WORK/not_a_port"
    for n in $(seq 1 99); do
        if [ -e "/dev/ttyS$((n - 1))" ]; then
            ln -s "$WORK/not_a_port" "$WINEPREFIX/dosdevices/com$n"
        fi
    done
}

# run_wine NAME EXE [args]: runs under Wine, output to $WORK/NAME.out (line ends as on
# Linux), exit status to RUN_STATUS.
run_wine() {
    local name=$1
    shift
    RUN_STATUS=0
    timeout 120 "$WINE" "$@" >"$WORK/$name.raw" 2>&1 || RUN_STATUS=$?
    tr -d '\r' <"$WORK/$name.raw" >"$WORK/$name.out"
}

# gtest NAME EXPECTED_PASSED EXE [gtest args]: every selected case passes, and exactly
# EXPECTED_PASSED of them ran, so a case skipped for want of a port counts as a failure.
gtest() {
    local name=$1 expected=$2
    shift 2
    run_wine "$name" "$@" --gtest_color=no
    if [ "$RUN_STATUS" -eq 0 ] &&
        grep -Eq "^\[  PASSED  \] $expected tests?\.$" "$WORK/$name.out"; then
        pass "$name ($expected cases)"
        grep "^\[  SKIPPED \] [A-Za-z0-9_]*\.[A-Za-z0-9_]*$" "$WORK/$name.out" |
            sed 's/^\[  SKIPPED \]/      skipped:/' || true
    else
        fail "$name (status $RUN_STATUS, expected $expected cases passed)" "$WORK/$name.out"
    fi
}

# gtest_all NAME EXE: every case of a test program that needs no port passes; none skips.
gtest_all() {
    local name=$1
    shift
    run_wine "$name" "$@" --gtest_color=no
    if [ "$RUN_STATUS" -eq 0 ] && grep -q "^\[  PASSED  \]" "$WORK/$name.out" &&
        ! grep -q "^\[  SKIPPED \]" "$WORK/$name.out"; then
        pass "$name ($(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\./\1/p' "$WORK/$name.out") cases)"
    else
        fail "$name (status $RUN_STATUS)" "$WORK/$name.out"
    fi
}

# expect_console NAME STATUS EXPECTED_FILE [link_console args]
expect_console() {
    local name=$1 status=$2 expected=$3
    shift 3
    run_wine "$name" "$CONSOLE_EXE" "$@"
    if [ "$RUN_STATUS" -eq "$status" ] && diff -u "$expected" "$WORK/$name.out" >"$WORK/$name.diff"; then
        pass "$name"
    else
        fail "$name (status $RUN_STATUS, expected $status)" "$WORK/$name.diff" "$WORK/$name.out"
    fi
}

# expect_host_lines NAME EXPECTED_FILE: the lines the module took in, with their speeds.
expect_host_lines() {
    local name=$1 expected=$2
    grep ' host> ' "$WORK/$name.transcript" >"$WORK/$name.host" || true
    if diff -u "$expected" "$WORK/$name.host" >"$WORK/$name.host.diff"; then
        pass "$name: what the module received"
    else
        fail "$name: what the module received" "$WORK/$name.host.diff"
    fi
}

# expected LINE...: a file holding the lines, for diff; its path on stdout.
expected() {
    local file
    file=$(mktemp "$WORK/expected.XXXXXX")
    [ $# -eq 0 ] || printf '%s\n' "$@" >"$file"
    echo "$file"
}

NOT_FOUND="尝试与模块通信时失败，模块的波特率未知。"
ALL_PROBES=("baudrate 2400..." "baudrate 9600..." "baudrate 115200..." "baudrate 921600..."
            "baudrate 2016806..." "baudrate 3037974..." "baudrate 5000000...")
HELLO="hello, please set baudrate to: "
MARK="yes, current baudrate is: "

# --- scenarios --------------------------------------------------------------------------

unmap_ports

phase "tests that need no port"
gtest_all read_reply_test "$(exe tests/serial/read_reply_test.exe)"
gtest_all port_scan_test "$(exe tests/serial/port_scan_test.exe)"
gtest_all str_to_int_test "$(exe tests/protocol/str_to_int_test.exe)"
LINK_TEST_MISSING_PORT=$MISSING_PORT gtest win32_no_port 3 "$TEST_EXE" \
    --gtest_filter='Win32PortNamesTest.*:Win32NoPortTest.*:Win32MissingPortTest.*'

phase "module at 2400, just powered up"
start_module answering --baud 2400
map_port COM5 "$MODULE_PTY"
# The fifth case, a second open of a held port, needs Windows' own serial driver.
LINK_TEST_PORT=COM5 LINK_TEST_MODULE_BAUD=2400 gtest win32_answering 4 "$TEST_EXE" \
    --gtest_filter='Win32AnsweringModuleTest.*'
stop_module

start_module negotiate_2400 --baud 2400
map_port COM5 "$MODULE_PTY"
expect_console negotiate_2400 0 "$(expected "baudrate 2400..." "${MARK}2400" \
    "baudrate 2400..." "${MARK}2400" "baudrate 921600..." "${MARK}921600" \
    "初始化成功，双方的当前波特率：921600" "ok, color 7")" COM5 921600
expect_host_lines negotiate_2400 "$(expected "2400 host> ${HELLO}0\n" \
    "2400 host> ${HELLO}921600\n" "921600 host> ${HELLO}0\n" "921600 host> set color to: 7\n")"
stop_module

phase "module already at the chosen speed"
start_module at_speed --baud 921600
map_port COM5 "$MODULE_PTY"
expect_console at_speed 0 "$(expected "baudrate 2400..." "baudrate 9600..." "baudrate 115200..." \
    "baudrate 921600..." "${MARK}921600" "baudrate 921600..." "${MARK}921600" \
    "baudrate 921600..." "${MARK}921600" "初始化成功，双方的当前波特率：921600" \
    "ok, brightness 3")" COM5 921600 brightness 3
expect_host_lines at_speed "$(expected "921600 host> ${HELLO}0\n" "921600 host> ${HELLO}0\n" \
    "921600 host> ${HELLO}0\n" "921600 host> set brightness to: 3\n")"
stop_module

phase "no module"
start_module silent --baud 2400 --silent
map_port COM5 "$MODULE_PTY"
expect_console silent 1 "$(expected "${ALL_PROBES[@]}" "$NOT_FOUND")" COM5 921600
LINK_TEST_PORT=COM5 LINK_TEST_MODULE_BAUD=2400 gtest win32_silent 1 "$TEST_EXE" \
    --gtest_filter='Win32SilentModuleTest.*'
stop_module

phase "a port that is missing"
unmap_ports
expect_console missing_port 1 "$(expected "${ALL_PROBES[@]}" "$NOT_FOUND")" "$MISSING_PORT" 921600

phase "port scan"
start_module scan --baud 2400
for port in COM0 COM3 COM12 COM99 COM100; do
    map_port "$port" "$MODULE_PTY"
done
expect_console scan 0 "$(expected COM0 COM3 COM12 COM99)" --scan
unmap_ports
expect_console scan_nothing 1 "$(expected)" --scan
stop_module

phase "replies in chunks, and a line feed behind a NUL"
start_module split --baud 9600 --split-chunks 3 --split-gap-ms 5
map_port COM5 "$MODULE_PTY"
LINK_TEST_PORT=COM5 LINK_TEST_MODULE_BAUD=9600 gtest win32_split 1 "$TEST_EXE" \
    --gtest_filter='Win32SplitReplyModuleTest.*'
stop_module
start_module nul --baud 9600 --nul-before-line-feed
map_port COM5 "$MODULE_PTY"
LINK_TEST_PORT=COM5 LINK_TEST_MODULE_BAUD=9600 gtest win32_nul 1 "$TEST_EXE" \
    --gtest_filter='Win32NulReplyModuleTest.*'
stop_module

phase "done"
echo "wine: $PASSED passed, $FAILED failed ($((SECONDS - STARTED)) s)"
[ "$FAILED" -eq 0 ]
