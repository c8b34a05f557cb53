#pragma once
// The channel tree's node icons: one per kind of node, drawn as vectors at
// whatever device size a view asks for.

#include <QIcon>

#include "navigation/NodeTag.h"

// Channel, favourite and member share the channel icon; kinds without one
// give a null icon.
QIcon TreeNodeIcon(NodeKind kind);
