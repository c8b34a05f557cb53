#!/usr/bin/env bash
# Sets everything up, builds, and starts the viewer on live demo channels:
# a demo publisher on 127.0.0.1, a demo program folder with its settings and
# lists, and the viewer in that folder. Options go to scripts/demo.sh
# (for example --updater to start Listmender on the demo channel list).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec bash scripts/demo.sh "$@"
