#!/usr/bin/env bash
# Mutation check, run by hand (not part of ./run test). Plants the faults listed in
# tools/mutants.txt one at a time into a private checkout, rebuilds, runs the whole suite and
# reports which faults the tests kill. The developer's working files are never touched.
#
#   tools/mutants.sh [--tree DIR] [--rev REV] [--list FILE] [--only REGEX] [--jobs N]
#                    [--work DIR] [--out FILE] [--check]
#   --tree   a git checkout (default: the one holding this script); its commit REV (default
#            HEAD) is checked out with `git worktree add`, so uncommitted edits are NOT seen.
#            A directory outside git is copied instead (build directories left out).
#   --only   run the mutants whose "ID FILE DESCRIPTION" matches the extended regex
#   --work   where the checkout and build go (default: a fresh temp dir); removed at the end
#   --out    results table (default: ./mutants_results.txt)
#   --check  only report which mutants still apply; no build
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
TREE=$(dirname "$HERE") REV=HEAD LIST=$HERE/mutants.txt ONLY='' JOBS=2 WORK='' CHECK=0
OUT=$PWD/mutants_results.txt
while [ $# -gt 0 ]; do
    case $1 in
        --tree) TREE=${2:?needs a value} ;; --rev) REV=${2:?} ;; --list) LIST=${2:?} ;;
        --only) ONLY=${2:?} ;; --jobs) JOBS=${2:?} ;; --work) WORK=${2:?} ;; --out) OUT=${2:?} ;;
        --check) CHECK=1; shift; continue ;;
        *) sed -n '2,15s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    esac
    shift 2
done
LIST=$(realpath "$LIST") OUT=$(realpath -m "$OUT") TREE=$(realpath "$TREE")

# --- the list: "@ ID FILE DESCRIPTION", "- ORIGINAL", "+ REPLACEMENT" -----------------------
IDS=() FILES=() DESCS=() FROMS=() TOS=()
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
        '@ '*) read -r id file desc <<<"${line#@ }"; IDS+=("$id") FILES+=("$file") DESCS+=("$desc") ;;
        '- '*) FROMS+=("${line#- }") ;;
        '+') TOS+=("") ;;
        '+ '*) TOS+=("${line#+ }") ;;
        '' | '#'*) ;;
        *) echo "mutants.sh: cannot read list line: $line" >&2; exit 2 ;;
    esac
done <"$LIST"
if [ ${#IDS[@]} -ne ${#FROMS[@]} ] || [ ${#IDS[@]} -ne ${#TOS[@]} ]; then
    echo "mutants.sh: every '@' line needs one '-' and one '+' line" >&2; exit 2
fi

# Replaces FROM by TO when FROM occurs exactly once in the file, on one line. ENVIRON keeps
# backslashes literal, which awk -v would not.
mutate() {
    FROM=$2 TO=$3 awk '
        BEGIN { from = ENVIRON["FROM"]; to = ENVIRON["TO"]; hits = 0 }
        { line[NR] = $0; p = index($0, from)
          if (p) { hits++; at = NR; if (index(substr($0, p + length(from)), from)) hits++ } }
        END { if (hits != 1) exit 3
              for (i = 1; i <= NR; i++) {
                  if (i != at) { print line[i]; continue }
                  p = index(line[i], from)
                  print substr(line[i], 1, p - 1) to substr(line[i], p + length(from)) } }' \
        "$1" >"$WORK/mutant" && cat "$WORK/mutant" >"$1"
}
# Copies the original back with a fresh time stamp (cat, not cp -p): the next build must
# recompile the file, since its object still holds the mutant.
restore() {
    [ -n "$CURRENT" ] && cat "$WORK/original" >"$SRC/$CURRENT"
    CURRENT=''
}
# --- a private checkout, always removed: on success, failure and Ctrl-C ----------------------
MADE_WORK=0
[ -z "$WORK" ] && { WORK=$(mktemp -d /tmp/mutants.XXXXXX); MADE_WORK=1; }
SRC=$WORK/src BUILD=$WORK/build CURRENT='' CLEANED=0 IS_WORKTREE=0
if [ -e "$SRC" ] || ! mkdir -p "$WORK"; then echo "mutants.sh: cannot use $SRC" >&2; exit 2; fi
cleanup() {
    [ $CLEANED -eq 1 ] && return
    CLEANED=1
    restore
    if [ $IS_WORKTREE -eq 1 ]; then
        git -C "$TREE" worktree remove --force "$SRC" || { rm -rf "$SRC"; git -C "$TREE" worktree prune; }
    fi
    rm -rf "$SRC" "$BUILD" "$WORK/original" "$WORK/mutant" "$WORK"/*.log
    [ $MADE_WORK -eq 1 ] && rmdir "$WORK" 2>/dev/null
    return 0
}
trap 'echo; echo "interrupted: cleaning up" >&2; cleanup; exit 130' INT TERM
trap cleanup EXIT
if git -C "$TREE" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$TREE" worktree add --detach --quiet "$SRC" "$REV" || exit 1
    IS_WORKTREE=1
else
    mkdir "$SRC" && tar -C "$TREE" --exclude='./build*' -cf - . | tar -C "$SRC" -xf - || exit 1
fi

build() { nice -n 10 cmake --build "$BUILD" -j"$JOBS" >"$WORK/build.log" 2>&1; }
# --stop-on-failure makes a killed mutant cost little; the timeout catches a planted hang.
run_tests() {
    rm -f "$BUILD/Testing/Temporary/LastTestsFailed.log"
    (cd "$BUILD" && nice -n 10 ctest -j"$JOBS" --timeout 120 --stop-on-failure) >"$WORK/test.log" 2>&1
}
# The first failed test's name, without the parameter dump GoogleTest appends.
first_failure() {
    sed -n '1{s/^[0-9]*://;s/ *#.*//;p;}' "$BUILD/Testing/Temporary/LastTestsFailed.log" 2>/dev/null
}

START=$(date +%s)
COMMIT=$(git -C "$SRC" rev-parse --short HEAD 2>/dev/null || echo "copy of $TREE")
if [ $CHECK -eq 0 ]; then
    echo "== baseline at $COMMIT: configure, build, full suite"
    if ! nice -n 10 cmake -S "$SRC" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPANEL_BUILD_TESTS=ON -DPANEL_BUILD_BENCH=OFF >"$WORK/build.log" 2>&1 || ! build; then
        tail -20 "$WORK/build.log"; echo "baseline does not build" >&2; exit 1
    fi
    run_tests || { echo "baseline fails: $(first_failure)" >&2; exit 1; }
fi

printf '# mutants.sh at %s, %s, list %s\n' "$COMMIT" "$(date -u '+%F %H:%M UTC')" "$LIST" >"$OUT"
row() { printf '%-4s %-9s %5s  %-58s %s\n' "$@" | tee -a "$OUT"; }
row ID RESULT SECS "KILLED BY" DESCRIPTION
KILLED=0 SURVIVED=0 COMPILE=0 NA=0
for i in "${!IDS[@]}"; do
    [[ "${IDS[i]} ${FILES[i]} ${DESCS[i]}" =~ $ONLY ]] || continue
    t0=$(date +%s) file=$SRC/${FILES[i]} by=
    if [ -f "$file" ] && cp "$file" "$WORK/original" && CURRENT=${FILES[i]} &&
        mutate "$file" "${FROMS[i]}" "${TOS[i]}"; then
        if [ $CHECK -eq 1 ]; then result=applies
        elif ! build; then
            result=compiler COMPILE=$((COMPILE + 1))
            by=$(grep -m1 -o 'error: .*' "$WORK/build.log" | cut -c1-58)
        elif run_tests; then result=SURVIVED SURVIVED=$((SURVIVED + 1))
        else result=killed KILLED=$((KILLED + 1)) by=$(first_failure); fi
    else
        result=n/a NA=$((NA + 1))
    fi
    restore
    row "${IDS[i]}" "$result" $(($(date +%s) - t0)) "${by:--}" "${FILES[i]}: ${DESCS[i]}"
done

TESTED=$((KILLED + SURVIVED))
{
    echo
    echo "killed by tests $KILLED, survived $SURVIVED, killed by the compiler $COMPILE, n/a $NA"
    [ $CHECK -eq 0 ] && [ $TESTED -gt 0 ] &&
        echo "score: $KILLED / $TESTED applicable mutants that build = $((100 * KILLED / TESTED))%"
    echo "total time: $((($(date +%s) - START) / 60)) min $((($(date +%s) - START) % 60)) s"
} | tee -a "$OUT"
