#pragma once
// The channel tree's images: a channel node shows its condition, and list,
// category, favourites and folder nodes have images of their own, so an
// empty folder does not look like a channel. Every image is drawn as vectors
// at the device size asked for; shapes differ as well as colours. The node
// texts stay as they are (the list files save them): what a node's image
// means is in its tool tip.

#include <QIcon>
#include <QString>

#include "navigation/NodeTag.h"
#include "watch/ChannelCondition.h"

struct ChannelHealth;

QIcon ConditionIcon(Condition condition);
// For every kind of node but the channel kinds (Channel, FavariteChannel,
// MultiMonitorChannel), whose image is their channel's condition; a null
// icon for those and for unknown kinds.
QIcon NodeIcon(NodeKind kind);

// ID, condition, picture age and last failure, as rich text with every
// piece from a list or server escaped.
QString ChannelToolTip(const ChannelHealth& health);
