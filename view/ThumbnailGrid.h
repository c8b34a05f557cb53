#pragma once
// The thumbnail grid's arithmetic: how many columns give each picture the
// largest 4:3 area, the cell size, and where each cell lies. 14 pixels of
// every cell are kept for the name label.

#include <QPoint>

struct ThumbnailGrid {
    int Columns = 0;     // 0: nothing can be placed
    int CellWidth = 0;   // W, after fitting 4:3
    int CellHeight = 0;  // H, after fitting 4:3
    // The top-left corner of grid position i (from 1).
    QPoint CellOrigin(int i) const {
        const int column = (i - 1) % Columns;
        const int row = (i - 1) / Columns;
        return QPoint(column * CellWidth, row * (CellHeight + 14) + 2);
    }
};

// n members in a show area of width x height pixels. On equal areas the
// smaller column count stays.
ThumbnailGrid ChooseThumbnailGrid(int n, int width, int height);
