#!/usr/bin/env bash
# tests/wine/run_wine_tests.sh LINUX_BUILD_DIR: cross-builds the core for Windows with
# MinGW-w64 into build-mingw/ and runs it under Wine against the simulated module (lcdsim
# from LINUX_BUILD_DIR, built there if missing) on a pseudo-terminal mapped to a COM port.
# Installs nothing: without MinGW-w64, Wine or the GoogleTest sources it says so, exits 0.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
JOBS=$(nproc)
MINGW_BUILD=$ROOT/build-mingw
STARTED=$SECONDS
LINUX_BUILD=$([ $# -eq 1 ] && cd "$1" && pwd) || { echo "usage: $0 LINUX_BUILD_DIR" >&2; exit 2; }

skip() {
    echo "wine: skipped: $* (Debian packages: g++-mingw-w64-x86-64-posix wine64 googletest)"
    exit 0
}

command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || skip "MinGW-w64 (posix) not installed"
PATH=$PATH:/usr/lib/wine # where Debian's wine64 alone puts its programs
WINE=$(command -v wine64 || command -v wine) || skip "Wine not installed"
WINESERVER=$(command -v wineserver) || skip "Wine not installed"
[ -f /usr/src/googletest/CMakeLists.txt ] || skip "GoogleTest sources not installed"

PASSED=0
FAILED=0
WORK=$(mktemp -d "${TMPDIR:-/tmp}/wine_tests.XXXXXX")
PREFIX=$WORK/prefix
MODULE_PID= # one module at a time

stop_module() {
    if [ -n "$MODULE_PID" ]; then { kill "$MODULE_PID" && wait "$MODULE_PID"; } 2>/dev/null || true; fi
    MODULE_PID=
}

cleanup() {
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

phase "MinGW-w64 build into $MINGW_BUILD"
cmake -S "$ROOT" -B "$MINGW_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPANEL_CORE_ONLY=ON -DPANEL_BUILD_BENCH=OFF >"$WORK/configure.log" ||
    { cat "$WORK/configure.log"; exit 1; }
cmake --build "$MINGW_BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1 || { cat "$WORK/build.log"; exit 1; }
! grep -A3 "warning:" "$WORK/build.log" || { echo "wine: the MinGW build has warnings"; exit 1; }

LCDSIM=$LINUX_BUILD/sim/lcdsim
[ -x "$LCDSIM" ] || cmake --build "$LINUX_BUILD" --target lcdsim -j"$JOBS" >/dev/null
[ -x "$LCDSIM" ] || { echo "wine: no lcdsim in $LINUX_BUILD"; exit 1; }
exe() { echo "$MINGW_BUILD/$1"; }

phase "Wine prefix"
export WINEPREFIX=$PREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d" # no Mono/Gecko prompts
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
# One server for the whole run, so the mapped ports stay. Its output is dropped: it dumps
# its state on the hang-up a closing pseudo-terminal sends it.
"$WINESERVER" -p >/dev/null 2>&1
"$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log"; exit 1; }

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
}

# run_wine NAME EXE [args]: output to $WORK/NAME.out with Linux line ends, status to STATUS.
run_wine() {
    STATUS=0
    timeout 120 "$WINE" "${@:2}" >"$WORK/$1.raw" 2>&1 || STATUS=$?
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

NOT_FOUND="尝试与模块通信时失败，模块的波特率未知。"
ALL_PROBES=("baudrate 2400..." "baudrate 9600..." "baudrate 115200..." "baudrate 921600..."
    "baudrate 2016806..." "baudrate 3037974..." "baudrate 5000000...")
HELLO="hello, please set baudrate to: "
MARK="yes, current baudrate is: "
OK_921600="初始化成功，双方的当前波特率：921600"
NEGOTIATED=("baudrate 921600..." "baudrate 2400..." "${MARK}2400" "baudrate 2400..." "${MARK}2400"
    "baudrate 921600..." "${MARK}921600" "$OK_921600") # the first hello finds nobody at 921600
AT_SPEED=("baudrate 921600..." "${MARK}921600" "$OK_921600")

phase "no port at all"
unmap_ports
for program in serial/serial_link_test protocol/str_to_int_test; do
    gtest "${program#*/}" "$(exe "tests/$program.exe")"
done
expect_lcdctl missing_port 1 "$(expected "baudrate 921600..." "${ALL_PROBES[@]}" "$NOT_FOUND" \
    "lcdctl: no link to the module on COM77")" -p COM77 connect
expect_lcdctl scan_nothing 1 "$(expected)" ports
# A file named as the port opens as no port: no hello lands in it.
sum_before=$(md5sum <"$WINEPREFIX/drive_c/windows/win.ini")
expect_lcdctl file_as_port 1 "$(expected "baudrate 921600..." "${ALL_PROBES[@]}" "$NOT_FOUND" \
    "lcdctl: no link to the module on C:\\windows\\win.ini")" -p 'C:\windows\win.ini' connect
result=FAIL && [ "$(md5sum <"$WINEPREFIX/drive_c/windows/win.ini")" = "$sum_before" ] && result=ok
verdict "$result" "the file named as the port is untouched"

phase "a module at 2400, negotiated up to 921600, then found already at speed"
start_module module "COM0 COM3 COM5 COM12 COM99 COM100" --baud 2400
expect_lcdctl scan 0 "$(expected COM0 COM3 COM5 COM12 COM99)" ports
expect_lcdctl negotiate_2400 0 "$(expected "${NEGOTIATED[@]}" "ok, color 7")" -p COM5 color 7
expect_lcdctl at_speed 0 "$(expected "${AT_SPEED[@]}" "ok, brightness 3")" -p COM5 brightness 3
expect_lcdctl pattern 0 "$(expected "${AT_SPEED[@]}" "ok, send 28800 bytes" \
    "ok, frame 28800 bytes")" -p COM5 pattern stripes
grep ' host' "$WORK/module.transcript" >"$WORK/module.host" || true
result=FAIL
diff -u "$(expected "921600 host (dropped)> ${HELLO}0\n" "2400 host> ${HELLO}0\n" \
    "2400 host> ${HELLO}921600\n" "921600 host> ${HELLO}0\n" "921600 host> set color to: 7\n" \
    "921600 host> ${HELLO}0\n" "921600 host> set brightness to: 3\n" "921600 host> ${HELLO}0\n" \
    "921600 host> pixels: 0,0,480,480\n" "921600 host> <frame payload 28800 bytes>")" \
    "$WORK/module.host" >"$WORK/module.diff" && result=ok
verdict "$result" "what the module received" "$WORK/module.diff"
stop_module

phase "no module"
start_module silent COM5 --baud 2400 --silent
expect_lcdctl silent 1 "$(expected "baudrate 921600..." "${ALL_PROBES[@]}" "$NOT_FOUND" \
    "lcdctl: no link to the module on COM5")" -p COM5 connect
stop_module

phase "replies in chunks, each read whole"
start_module split COM5 --baud 9600 --split-chunks 3 --split-gap-ms 5
expect_lcdctl split 0 "$(expected "baudrate 9600..." "${MARK}9600" \
    "初始化成功，双方的当前波特率：9600" "ok, color 2")" -p COM5 -b 9600 color 2
stop_module

echo
echo "wine: $PASSED passed, $FAILED failed ($((SECONDS - STARTED)) s)"
[ "$FAILED" -eq 0 ]
