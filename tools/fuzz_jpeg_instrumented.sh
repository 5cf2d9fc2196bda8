#!/usr/bin/env bash
# Fuzzes our JPEG picture type against a libjpeg-turbo built with the fuzzer's coverage and the
# sanitizers. Against the distribution's plain library libFuzzer sees only our wrappers; with the
# library instrumented it is guided through the decoder itself, where the costly inputs live.
#   fuzz_jpeg_instrumented.sh [seconds] [libFuzzer flags...]   fuzz for that long (default 3600)
#   fuzz_jpeg_instrumented.sh merge     tests/imaging/fuzz/corpus becomes a small set of inputs
#                                       covering what it and the work corpus cover
# Sources, builds, the work corpus and crash files stay in $FUZZ_WORK, outside the repository.
# Builds and fuzzing run under nice -n 10: the fuzzer takes a whole core for as long as asked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fuzz_dir=$root/tests/imaging/fuzz
work=${FUZZ_WORK:-${XDG_CACHE_HOME:-$HOME/.cache}/panel-jpeg-fuzz}

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_tools() {
    local missing=()
    for package in clang-14 libclang-rt-14-dev dpkg-dev cmake; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] || as_root apt-get install -y "${missing[@]}"
}

# apt-get source needs a deb-src entry for the release we run, so that the library we fuzz
# is the one we ship against. One is derived from the configured deb entries if none exists.
enable_sources() {
    local codename with_src
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    with_src=$(grep -lsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list \
        /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources || true)
    if [ -n "$with_src" ] && grep -qw "$codename" $with_src; then
        return
    fi
    if grep -qsE "^deb .* $codename " /etc/apt/sources.list; then
        sed -n "s/^deb \(.* $codename .*\)/deb-src \1/p" /etc/apt/sources.list |
            as_root tee "/etc/apt/sources.list.d/$codename-src.list" >/dev/null
    else
        grep -lw "$codename" /etc/apt/sources.list.d/*.sources | head -n1 |
            xargs sed 's/^Types: deb$/Types: deb-src/' |
            as_root tee "/etc/apt/sources.list.d/$codename-src.sources" >/dev/null
    fi
    as_root apt-get update
}

# Static, 8-bit only, and without SIMD: hand-written assembly is invisible to the sanitizers.
build_library() {
    if ! ls -d "$work"/src/libjpeg-turbo-*/ >/dev/null 2>&1; then
        mkdir -p "$work/src"
        (cd "$work/src" && apt-get source libjpeg-turbo)
    fi
    src=$(ls -d "$work"/src/libjpeg-turbo-*/ | head -n1)
    lib=$work/libjpeg-build
    local flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
    cmake -S "$src" -B "$lib" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS="$flags" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_12BIT=OFF \
        -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF >/dev/null
    nice -n 10 cmake --build "$lib" --target jpeg-static -j2
}

install_tools
enable_sources
build_library
# The fuzzer itself is built by the quick script, from its list of sources, against this library.
quick=(env FUZZ_OUT="$work" JPEG_CFLAGS="-I$lib -I$src" JPEG_LIBS="$lib/libjpeg.a" \
    nice -n 10 "$fuzz_dir/build_and_run.sh")
if [ "${1:-}" = merge ]; then
    "${quick[@]}" build
    # Set-cover merge over edges only (no hit-count buckets) keeps the kept corpus to a
    # few hundred small files: the replay test runs each one in its own process.
    fresh=$(mktemp -d)
    nice -n 10 "$work/jpeg_fuzzer" -timeout=2 -rss_limit_mb=2048 -max_len=65536 \
        -set_cover_merge=1 -use_counters=0 "$fresh" "$fuzz_dir/corpus" "$work/work_corpus"
    rm -f "$fuzz_dir/corpus"/* && cp "$fresh"/* "$fuzz_dir/corpus/" && rm -rf "$fresh"
    exit 0
fi
# One worker process at a time, restarted past a crash, a slow input or an OOM, so that an
# unattended run goes on; each such input is written to $FUZZ_WORK. The timeout is wall-clock
# time: on a busy machine, time an input again alone before believing it slow.
"${quick[@]}" "${1:-3600}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 "${@:2}"
