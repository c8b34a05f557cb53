#pragma once

#include <QIcon>

// The toolbar's image list ilsNormal: six 16 x 16 images, numbered from 1,
// drawn as vectors at whatever device size a button asks for.
// 1 framed N, 2 framed T, 3 framed S, 4 yellow folder with a blue star,
// 5 black cross, 6 grey folder with a white star.
QIcon ToolbarImage(int number);
