#!/usr/bin/env bash
# Runs one fuzz target for a given time: fuzz/run.sh TARGET SECONDS
# TARGET is a name like fuzz_picture (or picture). The corpus grows in
# $BUILD_DIR/corpus/TARGET, seeded from fuzz/make-seeds.py; crashes land in
# $BUILD_DIR/artifacts/TARGET/. The log ends with libFuzzer's final stats
# (number_of_executed_units, peak RSS) and coverage (cov:, ft:).
set -euo pipefail
cd "$(dirname "$0")/.."
TARGET=${1:?usage: fuzz/run.sh TARGET SECONDS}
SECONDS_TO_RUN=${2:?usage: fuzz/run.sh TARGET SECONDS}
[[ $TARGET == fuzz_* ]] || TARGET=fuzz_$TARGET
BUILD_DIR=${BUILD_DIR:-build-fuzz}

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTORA_FUZZ=ON -DVANTORA_BUILD_TESTS=OFF -DVANTORA_BUILD_BENCH=OFF
fi
ninja -C "$BUILD_DIR" "$TARGET" >/dev/null

CORPUS=$BUILD_DIR/corpus/$TARGET
ARTIFACTS=$BUILD_DIR/artifacts/$TARGET/
SEEDS=$BUILD_DIR/seeds/$TARGET
mkdir -p "$CORPUS" "$ARTIFACTS"
python3 fuzz/make-seeds.py "$BUILD_DIR/seeds" >/dev/null

# Qt keeps caches for the life of the process (fonts, styles): the window
# target checks leaks in the sanitizer test suite instead.
LEAKS=1
case $TARGET in fuzz_treelist|fuzz_updater) LEAKS=0 ;; esac
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=$LEAKS}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

exec "$BUILD_DIR/fuzz/$TARGET" "$CORPUS" "$SEEDS" -max_total_time="$SECONDS_TO_RUN" -timeout=10 \
  -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len=65536 -print_final_stats=1 -detect_leaks=$LEAKS \
  -artifact_prefix="$ARTIFACTS"
