#!/usr/bin/env bash
# 1. cmake --install to a prefix the user may write makes a portable program
#    folder, launchers and desktop entries that point at it; the installed
#    viewer keeps its files beside itself, and a stop signal closes it the
#    normal way, writing its files.
# 2. cpack -G DEB makes vantora_<version>_amd64.deb with generated Depends
#    and valid desktop entries and metainfo; unpacked, its viewer started
#    through its launcher by a user who cannot write the program folder
#    keeps that user's files in ~/.local/share/vantora; so does a user who
#    may write it (root), as the package marks its folder as installed.
set -euo pipefail
build_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"  # the other user below walks through it

fail() { echo "FAIL: $*" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
unset XDG_DATA_HOME

# Starts a viewer with the rest of the arguments as the command, waits until
# it has loaded (its cache folder appears in $1), stops it with SIGTERM.
run_viewer() {
  local folder=$1; shift
  (cd / && exec "$@") &
  local pid=$!
  for _ in $(seq 100); do [ -d "$folder/chach" ] && break; sleep 0.1; done
  [ -d "$folder/chach" ] || { kill -KILL "$pid"; fail "the viewer did not start in $folder"; }
  kill -TERM "$pid"
  wait "$pid" || fail "the viewer did not end cleanly on SIGTERM"
  for f in Vantomon.ini ChannelList.txt Favorite.txt MultiMonitor.txt; do
    [ -f "$folder/$f" ] || fail "$f was not written in $folder"
  done
  grep -q "ResizeX=128" "$folder/Vantomon.ini" || fail "settings not written"
}

prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
for f in lib/vantora/Vantomon lib/vantora/Listmender bin/vantomon bin/listmender share/applications/vantora.desktop \
         share/applications/listmender.desktop share/icons/hicolor/scalable/apps/vantora.svg \
         share/metainfo/org.vantora.Vantora.metainfo.xml; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/lib/vantora/Vantomon" ] || fail "Vantomon not executable"
grep -qx "Exec=\"$prefix/lib/vantora/Vantomon\"" "$prefix/share/applications/vantora.desktop" || fail "Exec does not point at the folder"
grep -qx "Icon=vantora" "$prefix/share/applications/vantora.desktop" || fail "no icon name"
grep -qx "Name=Vantora" "$prefix/share/applications/vantora.desktop" || fail "no name"
mkdir -m 700 "$scratch/runtime"
XDG_RUNTIME_DIR=$scratch/runtime run_viewer "$prefix/lib/vantora" "$prefix/bin/vantomon"

(cd "$build_dir" && cpack -G DEB -B "$scratch/package" > /dev/null) || fail "cpack -G DEB failed"
deb=("$scratch"/package/*.deb)
[ ${#deb[@]} -eq 1 ] || fail "expected one package, got ${deb[*]}"
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "vantora_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libcurl4 libturbojpeg0 libxcb1; do
  [[ ", $depends" == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/lib/vantora/Vantomon ./usr/lib/vantora/Listmender ./usr/lib/vantora/.vantora-package \
         ./usr/bin/vantomon ./usr/bin/listmender \
         ./usr/share/applications/vantora.desktop ./usr/share/applications/listmender.desktop \
         ./usr/share/icons/hicolor/scalable/apps/vantora.svg ./usr/share/metainfo/org.vantora.Vantora.metainfo.xml; do
  grep -qx -- "$f" <<<"$contents" || fail "$f is not in the package"
done
! grep -q -- "$scratch\|/usr/local" <<<"$contents" || fail "the package holds build paths"

root=$scratch/root
dpkg -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entries do not validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/org.vantora.Vantora.metainfo.xml > /dev/null \
  || fail "the metainfo does not validate"
grep -qx 'Exec="/usr/lib/vantora/Vantomon"' "$root/usr/share/applications/vantora.desktop" || fail "Exec of the package"

# A user who cannot write the program folder: nobody when this runs as
# root (root may write anywhere), else this user with the folder read-only.
home=$scratch/home
mkdir -p "$home/run"
chmod 700 "$home" "$home/run"
as_user=(env HOME="$home" XDG_RUNTIME_DIR="$home/run")
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- "${as_user[@]}")
else
  chmod -R a-w "$root/usr/lib/vantora"
fi
run_viewer "$home/.local/share/vantora" "${as_user[@]}" "$root/usr/bin/vantomon"
installed=$(printf '.vantora-package\nListmender\nVantomon')
[ "$(ls -A "$root/usr/lib/vantora")" = "$installed" ] || fail "files written beside the installed programs"
[ "$(stat -c %a "$home/.local/share/vantora")" = 700 ] || fail "the data folder is not private"
chmod -R u+w "$root"

# This user may write the installed folder now (root may write it always):
# the files still go to the user's data folder, and the folder stays as
# the package made it.
writer=$scratch/writer
mkdir -m 700 -p "$writer/run"
HOME=$writer XDG_RUNTIME_DIR=$writer/run run_viewer "$writer/.local/share/vantora" "$root/usr/bin/vantomon"
[ "$(ls -A "$root/usr/lib/vantora")" = "$installed" ] || fail "a user who may write the installed folder wrote into it"
echo "install: ok"
