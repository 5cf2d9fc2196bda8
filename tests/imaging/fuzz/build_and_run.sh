#!/usr/bin/env bash
# Builds the JPEG fuzzer with clang's libFuzzer, AddressSanitizer and UBSan, outside the
# CMake build, and runs it.
#   build_and_run.sh [seconds] [libFuzzer flags...]   fuzz for that long (default 600)
#   build_and_run.sh merge                            shrink the work corpus into corpus/
# The work corpus and crash files stay in $FUZZ_OUT (default build-jpeg-fuzz in the repo).
# Needs clang-14 and libclang-rt-14-dev; libjpeg itself is Debian's, not instrumented.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${FUZZ_OUT:-$root/build-jpeg-fuzz}
cxx=${CXX:-clang++-14}
mkdir -p "$out/work_corpus"

"$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" "$root/imaging/jpeg_image.cpp" "$root/imaging/jpeg_decompressor.cpp" \
    "$root/imaging/bitmap.cpp" "$here/jpeg_fuzzer.cpp" -ljpeg -o "$out/jpeg_fuzzer"

if [ "${1:-}" = merge ]; then
    # Keeps the inputs that reach new code, from the committed corpus first.
    fresh=$(mktemp -d)
    "$out/jpeg_fuzzer" -merge=1 "$fresh" "$here/corpus" "$out/work_corpus"
    rm -f "$here/corpus"/*
    cp "$fresh"/* "$here/corpus/"
    rm -rf "$fresh"
    exit 0
fi

seconds=${1:-600}
shift || true
"$out/jpeg_fuzzer" -max_total_time="$seconds" -dict="$here/jpeg.dict" -max_len=65536 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" "$@" \
    "$out/work_corpus" "$here/corpus" "$root/tests/imaging/jpeg_data"
