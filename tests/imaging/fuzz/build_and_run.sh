#!/usr/bin/env bash
# Builds the JPEG fuzzer (clang-14 and libclang-rt-14-dev: libFuzzer, ASan, UBSan) and runs it:
#   build_and_run.sh [seconds] [libFuzzer flags...]   fuzz for that long (default 600)
#   build_and_run.sh merge                            shrink the work corpus into corpus/
# The work corpus and crash files stay in $FUZZ_OUT (default build-jpeg-fuzz in the repo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${FUZZ_OUT:-$root/build-jpeg-fuzz}
mkdir -p "$out/work_corpus"
"${CXX:-clang++-14}" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -I"$root" "$here/jpeg_fuzzer.cpp" \
    "$root"/imaging/{jpeg_image,jpeg_decompressor,bitmap}.cpp -ljpeg -o "$out/jpeg_fuzzer"
if [ "${1:-}" = merge ]; then
    fresh=$(mktemp -d)
    "$out/jpeg_fuzzer" -merge=1 "$fresh" "$here/corpus" "$out/work_corpus"
    rm -f "$here/corpus"/* && cp "$fresh"/* "$here/corpus/" && rm -rf "$fresh"
    exit 0
fi
"$out/jpeg_fuzzer" -max_total_time="${1:-600}" -dict="$here/jpeg.dict" -max_len=65536 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" "${@:2}" \
    "$out/work_corpus" "$here/corpus" "$root/tests/imaging/jpeg_data"
