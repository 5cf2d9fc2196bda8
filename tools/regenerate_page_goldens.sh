#!/usr/bin/env bash
# Redraws the pages' golden PNGs from the table in tests/pages/page_test.cpp, on purpose:
# after a change that is meant to change how pages look. Look at every PNG before you commit.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
cmake --build "$BUILD" --target page_test
mkdir -p tests/pages/goldens
PAGES_WRITE_GOLDENS="$PWD/tests/pages/goldens" "$BUILD/tests/pages/page_test" \
    --gtest_filter='PageTest.PagesGiveTheirGoldenFrames'
git status --short tests/pages/goldens
