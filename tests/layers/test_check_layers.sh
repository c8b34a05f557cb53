#!/usr/bin/env bash
# The layer check passes on the tree as it stands and fails, naming the
# include and the rule, on a scratch copy with one forbidden include planted.
set -euo pipefail
SRC=$1
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

copy_tree() {
  rm -rf "$SCRATCH/tree" && mkdir -p "$SCRATCH/tree"
  (cd "$SRC" && find . \( -name 'build*' -o -name .git \) -prune -o \
     \( -name '*.cpp' -o -name '*.h' -o -name CMakeLists.txt \) -print0 |
     xargs -0 cp --parents -t "$SCRATCH/tree")
}

bash "$SRC/scripts/check-layers.sh" "$SRC"

failed=0
plant() {  # file, include line, rule text expected in the output
  copy_tree
  printf '%s\n' "$2" >> "$SCRATCH/tree/$1"
  if out=$(bash "$SRC/scripts/check-layers.sh" "$SCRATCH/tree" 2>&1); then
    echo "NOT CAUGHT: $2 in $1"; failed=1; return
  fi
  if ! grep -qF "$1:" <<<"$out" || ! grep -qF "$2" <<<"$out" || ! grep -qF "$3" <<<"$out"; then
    echo "CAUGHT WITHOUT ITS INCLUDE OR RULE: $2 in $1"; echo "$out"; failed=1
  fi
}
plant common/Numeric.cpp '#include "channel/clsChannel.h"' 'common/ includes only common/ headers'
plant channel/clsChannel.cpp '#include "view/ShowAreaWidget.h"' 'includes no viewer or updater header'
plant channel/clsChannel.cpp '#include "updater/NodeTag.h"' 'includes no viewer or updater header'
plant navigation/ChannelTreeModel.cpp '#include "navigation/ChannelTreeView.h"' 'includes no viewer or updater header'
plant channel/clsChannel.cpp '#include <QWidget>' 'includes no QtWidgets header'
plant navigation/NodeTag.cpp '#include "view/frmMain.h"' 'include view/frmMain.h'
exit $failed
