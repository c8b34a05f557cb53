#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each, two at a time (one per core), and
# prints a line per target: executions, coverage, crashes found.
#   fuzz/run-all.sh SECONDS [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:?usage: fuzz/run-all.sh SECONDS [TARGET...]}
shift
BUILD_DIR=${BUILD_DIR:-build-fuzz}
export BUILD_DIR
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTORA_FUZZ=ON -DVANTORA_BUILD_TESTS=OFF -DVANTORA_BUILD_BENCH=OFF
fi
ninja -C "$BUILD_DIR" fuzzers >/dev/null || exit 1
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  mapfile -t TARGETS < <(cd "$BUILD_DIR/fuzz" && ls fuzz_* | grep -v '\.' | sort)
fi
mkdir -p "$BUILD_DIR/logs"
printf '%s\n' "${TARGETS[@]}" |
  xargs -P 2 -I{} sh -c "bash fuzz/run.sh {} $SECONDS_TO_RUN > $BUILD_DIR/logs/{}.log 2>&1"
status=0
for t in "${TARGETS[@]}"; do
  log=$BUILD_DIR/logs/$t.log
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  crashes=$(ls "$BUILD_DIR/artifacts/$t" 2>/dev/null | wc -l)
  echo "$t: ${execs} execs, ${cov:-no coverage line}, ${crashes} artifacts"
  [ "$crashes" -eq 0 ] || status=1
done
exit $status
