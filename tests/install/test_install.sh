#!/usr/bin/env bash
# cmake --install makes a portable program folder and desktop entries that
# point at it; the installed viewer runs there and keeps its files beside
# itself; a stop signal closes it the normal way, writing its files.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" > /dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in vantora/Vantomon vantora/Listmender share/applications/vantora.desktop \
         share/applications/listmender.desktop share/icons/hicolor/scalable/apps/vantora.svg; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/vantora/Vantomon" ] || fail "Vantomon not executable"
grep -qx "Exec=\"$prefix/vantora/Vantomon\"" "$prefix/share/applications/vantora.desktop" || fail "Exec does not point at the folder"
grep -qx "Icon=vantora" "$prefix/share/applications/vantora.desktop" || fail "no icon name"
grep -qx "Name=Vantora" "$prefix/share/applications/vantora.desktop" || fail "no name"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$prefix/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
(cd / && "$prefix/vantora/Vantomon") &
pid=$!
for _ in $(seq 100); do [ -d "$prefix/vantora/chach" ] && break; sleep 0.1; done
[ -d "$prefix/vantora/chach" ] || fail "the viewer did not start in its folder"
kill -TERM "$pid"
wait "$pid" || fail "the viewer did not end cleanly on SIGTERM"
for f in Vantomon.ini ChannelList.txt Favorite.txt MultiMonitor.txt; do
  [ -f "$prefix/vantora/$f" ] || fail "$f was not written beside the program"
done
grep -q "ResizeX=128" "$prefix/vantora/Vantomon.ini" || fail "settings not written"
echo "install: ok"
