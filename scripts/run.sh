#!/usr/bin/env bash
# Sets everything up, builds and starts the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
exec "$BUILD_DIR/shell/Vantomon"
