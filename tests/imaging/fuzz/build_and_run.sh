#!/usr/bin/env bash
# Builds the JPEG fuzzer (clang-14 and libclang-rt-14-dev: libFuzzer, ASan, UBSan) and runs it:
#   build_and_run.sh [seconds] [libFuzzer flags...]   fuzz for that long (default 600)
#   build_and_run.sh build                            build only
# The quick build links the system's libjpeg, whose code libFuzzer cannot see; JPEG_CFLAGS and
# JPEG_LIBS pick another one. tools/fuzz_jpeg_instrumented.sh builds an instrumented one and is
# the way to merge into corpus/: a merge here would drop inputs that only reach libjpeg's code.
# The work corpus and crash files stay in $FUZZ_OUT (default build-jpeg-fuzz in the repo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${FUZZ_OUT:-$root/build-jpeg-fuzz}
mkdir -p "$out/work_corpus"
"${CXX:-clang++-14}" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -I"$root" ${JPEG_CFLAGS:-} "$here/jpeg_fuzzer.cpp" \
    "$root"/imaging/{jpeg_image,jpeg_decompressor,bitmap,picture_file}.cpp ${JPEG_LIBS:--ljpeg} \
    -o "$out/jpeg_fuzzer"
[ "${1:-}" = build ] && exit 0
# -timeout=2 flags slow inputs: a picture that takes longer freezes the window.
"$out/jpeg_fuzzer" -max_total_time="${1:-600}" -dict="$here/jpeg.dict" -max_len=65536 \
    -timeout=2 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/" "${@:2}" \
    "$out/work_corpus" "$here/corpus" "$root/tests/imaging/jpeg_data"
