#!/usr/bin/env bash
# Builds with clang, AddressSanitizer, UBSan and LeakSanitizer (VANTORA_SANITIZE)
# and libFuzzer's coverage (VANTORA_FUZZ) in their own folder, then runs test
# programs, each whole, and replays every fuzz target once over its seeds
# (-runs=0), so the targets keep building and their checks keep holding.
# Without arguments every test program; with arguments only those (CI runs a
# subset to stay quick):
#   bash scripts/sanitize.sh [test_common test_channel ...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${SAN_BUILD_DIR:-build-san}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  # -O1 -g1: a quicker build that still gives line numbers in reports.
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
    -DVANTORA_SANITIZE=ON -DVANTORA_FUZZ=ON -DVANTORA_BUILD_BENCH=OFF >/dev/null
fi
TESTS=("$@")
if [ ${#TESTS[@]} -eq 0 ]; then
  cmake --build "$BUILD_DIR"
  mapfile -t TESTS < <(find "$BUILD_DIR/tests" -type f -executable -name 'test_*' -printf '%f\n' | sort)
else
  cmake --build "$BUILD_DIR" --target "${TESTS[@]}" fuzzers
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
passed=0
failed=0
for t in "${TESTS[@]}"; do
  exe=$(find "$BUILD_DIR/tests" -type f -executable -name "$t" | head -1)
  start=$SECONDS
  if (cd "$(dirname "$exe")" && "./$t" --gtest_brief=1); then
    passed=$((passed + 1))
    echo "sanitized $t: passed in $((SECONDS - start)) s"
  else
    failed=$((failed + 1))
    echo "sanitized $t: FAILED after $((SECONDS - start)) s"
  fi
done

# The fuzz targets over their seeds. Qt keeps caches for the life of the
# process, so the window targets run without the leak check (their code is
# leak-checked in the test programs above).
SEEDS=$BUILD_DIR/seeds
python3 fuzz/make-seeds.py "$SEEDS" >/dev/null
for exe in "$BUILD_DIR"/fuzz/fuzz_*; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  t=$(basename "$exe")
  leaks=1
  case $t in fuzz_treelist | fuzz_updater) leaks=0 ;; esac
  if ASAN_OPTIONS=abort_on_error=1:detect_leaks=$leaks "$exe" -runs=0 "$SEEDS/$t" >"$BUILD_DIR/$t.log" 2>&1; then
    passed=$((passed + 1))
    echo "replayed $t over $(ls "$SEEDS/$t" | wc -l) seeds: passed"
  else
    failed=$((failed + 1))
    echo "replayed $t: FAILED"
    tail -n 30 "$BUILD_DIR/$t.log"
  fi
done
echo "sanitizers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
