#pragma once
// What a channel node of the tree shows of its channel's condition: an image
// per condition, drawn as the tree's other images are (navigation/TreeIcons),
// and a tool tip. The node texts stay as they are (the list files save
// them): what a node's image means is in its tool tip.

#include <QIcon>
#include <QString>

#include "watch/ChannelCondition.h"

struct ChannelHealth;

QIcon ConditionIcon(Condition condition);

// ID, condition, picture age and last failure, as rich text with every
// piece from a list or server escaped.
QString ChannelToolTip(const ChannelHealth& health);
