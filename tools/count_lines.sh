#!/usr/bin/env bash
# Non-blank lines of tests against the product's code, so that everyone counts alike.
#   tests: the C++ and scripts under tests/ (the fixture generators and the fuzz target
#          live there too); tools/ holds developer scripts, which are neither
#   code:  the C++ of system/, serial/, protocol/, files/, imaging/, pictures/, session/,
#          app/, sim/, cli/, hub/ and pages/
set -euo pipefail
cd "$(dirname "$0")/.."
count() { if [ $# -eq 0 ]; then echo 0; else cat "$@" | grep -cv '^[[:space:]]*$'; fi; }
files() {
    git ls-files --cached --others --exclude-standard -- "$@" | while read -r f; do
        if [ -f "$f" ]; then echo "$f"; fi
    done
}
mapfile -t test_files < <(files 'tests/*.cpp' 'tests/*.h' 'tests/*.sh' 'tests/*.py')
mapfile -t code_files < <(files system serial protocol files imaging pictures session app sim cli hub pages | grep -E '\.(cpp|h)$')
tests=$(count "${test_files[@]}")
code=$(count "${code_files[@]}")
echo "tests: $tests lines in ${#test_files[@]} files"
echo "code:  $code lines in ${#code_files[@]} files"
awk -v t="$tests" -v c="$code" 'BEGIN { printf "ratio: %.1f %%\n", 100 * t / c }'
