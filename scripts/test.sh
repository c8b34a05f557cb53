#!/usr/bin/env bash
# Sets everything up, builds and runs every test. Arguments go to ctest,
# e.g. `bash scripts/test.sh -LE slow -R Tree` for a quick loop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
ctest --test-dir "$BUILD_DIR" -j2 --output-on-failure --timeout 300 "$@"
