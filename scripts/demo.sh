#!/usr/bin/env bash
# Runs the viewer on synthetic demo channels: starts the demo publisher on a
# free port, lets it write a program folder (settings, channel list,
# favourites, one multi-monitor folder), copies the programs into that folder
# and starts the viewer there. The publisher stops when the program closes.
#
#   bash scripts/demo.sh [--updater [--fresh]] [--no-program] [publisher options]
#
#   --updater     start Listmender instead, on the demo channel list
#   --fresh       with --updater: no ChannelList.txt, add the list by hand
#   --no-program  only publish and prepare the folder, until Ctrl-C
#   publisher options, e.g.  --channels 40 --reload 2 --status-cycle 60
#                            --share-404 0.1 --share-slow 0.1 --share-broken 0.1
#                            (demo_publisher --help lists them all)
#
# DEMO_DIR (default build/demo) is the folder, BUILD_DIR (default build) the
# build to take the programs from (bash scripts/setup.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
DEMO_DIR=${DEMO_DIR:-$BUILD_DIR/demo}

program=Vantomon
fresh=0
run=1
while [ $# -gt 0 ]; do
  case "$1" in
    --updater) program=Listmender ;;
    --fresh) fresh=1 ;;
    --no-program) run=0 ;;
    *) break ;;
  esac
  shift
done

publisher="$BUILD_DIR/tools/demo_publisher/demo_publisher"
viewer="$BUILD_DIR/shell/Vantomon"
updater="$BUILD_DIR/updater/Listmender"
need=("$publisher")
[ "$run" = 1 ] && need+=("$viewer")
[ "$run" = 1 ] && [ "$program" = Listmender ] && need+=("$updater")
for f in "${need[@]}"; do
  if [ ! -x "$f" ]; then
    echo "demo: $f is missing; build first (bash scripts/setup.sh)" >&2
    exit 1
  fi
done

mkdir -p "$DEMO_DIR"
DEMO_DIR=$(cd "$DEMO_DIR" && pwd)
out="$DEMO_DIR/publisher.out"
log="$DEMO_DIR/publisher.log"
rm -f "$out"

"$publisher" --port 0 --prepare "$DEMO_DIR" "$@" >"$out" 2>"$log" &
pid=$!
stop_publisher() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
trap stop_publisher EXIT
trap 'exit 130' INT TERM

# The port comes first on stdout, once the folder is written and the server
# answers (pre-rendering many channels can take a while).
for _ in $(seq 1200); do
  grep -q . "$out" 2>/dev/null && break
  if ! kill -0 "$pid" 2>/dev/null; then
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done
port=$(head -n1 "$out")
if [ -z "$port" ]; then
  echo "demo: the publisher did not come up; see $log" >&2
  exit 1
fi

echo "demo: channels on http://127.0.0.1:$port/ (channel list http://127.0.0.1:$port/list.txt)"
echo "demo: program folder $DEMO_DIR"

if [ "$run" = 0 ]; then
  echo "demo: publishing until Ctrl-C"
  wait "$pid"
  exit 0
fi

# The updater starts the viewer from its own folder, so both go in.
cp "$viewer" "$DEMO_DIR/"
[ -x "$updater" ] && cp "$updater" "$DEMO_DIR/"
if [ "$program" = Listmender ] && [ "$fresh" = 1 ]; then
  rm -f "$DEMO_DIR/ChannelList.txt"
  echo "demo: add the list with チャンネルリストの追加: http://127.0.0.1:$port/list.txt"
fi

"$DEMO_DIR/$program"
