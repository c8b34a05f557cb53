#pragma once

#include <QIcon>

// The toolbar's image list ilsNormal: six 16 x 16 images, numbered from 1
// (ToolbarImageNumber), drawn as vectors at whatever device size a button
// asks for. NormalView framed N, ThumbnailView framed T, SavePicture framed
// S, FavoriteFolder yellow folder with a blue star, Close black cross, Folder
// grey folder with a white star.
QIcon ToolbarImage(int number);
