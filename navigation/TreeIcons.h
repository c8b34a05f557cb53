#pragma once
// The channel tree's images. List, group, favourites and folder nodes have
// images of their own, so an empty folder does not look like a channel; a
// channel node shows its channel's condition where the program watches
// conditions, else the plain channel image. Every image is drawn as
// vectors at the device size asked for, and shapes differ as well as
// colours.

#include <QIcon>

#include <functional>

#include "navigation/NodeTag.h"

class QPainter;

// An image drawn by draw on a 16 x 16 grid, scaled to whatever device size
// is asked for (the toolbar's images are drawn so too).
QIcon DrawnIcon(std::function<void(QPainter&)> draw);

// The image of a kind of node; the channel kinds (Channel, FavariteChannel,
// MultiMonitorChannel) share the plain channel image. Null for unknown
// kinds. One icon per image for the program's life: views ask per row.
QIcon NodeIcon(NodeKind kind);
