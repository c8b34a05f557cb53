#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need
# (only those missing), then configures and builds into ./build. Arguments
# go to the first configure (e.g. -DVANTORA_WERROR=ON); --packages-only stops
# after the packages.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6svg6 qt6-translations-l10n libgtest-dev libgmock-dev
          libbenchmark-dev libcpp-httplib-dev libcurl4-openssl-dev libturbojpeg0-dev openssl libxcb1-dev xvfb xauth
          x11-utils x11-xserver-utils xdotool imagemagick fonts-ipaexfont-gothic clang libclang-rt-14-dev openbox dpkg-dev file
          desktop-file-utils appstream clang-format python3 dbus dosfstools fusefat)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = "--packages-only" ] && exit 0

BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [ $# -gt 0 ]; then
  echo "setup: $BUILD_DIR is configured already; ignoring $*" >&2
  echo "setup: to apply them, run: cmake -S . -B $BUILD_DIR $*" >&2
fi
cmake --build "$BUILD_DIR"
