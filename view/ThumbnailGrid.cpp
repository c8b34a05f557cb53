#include "view/ThumbnailGrid.h"

namespace {

struct Cell {
    int W;
    int H;
};

Cell cellFor(int n, int columns, int width, int height) {
    const int rows = n / columns + (n % columns != 0 ? 1 : 0);
    return {(width - 1) / columns, height / rows - 14};
}

// The area of a 4:3 picture inside a cell; a cell without room gives none.
long long pictureArea(Cell c) {
    if (c.W <= 0 || c.H <= 0) return 0;
    if ((c.W / 4) * 3 < c.H) return static_cast<long long>((c.W / 4) * 3) * c.W;
    return static_cast<long long>((c.H / 3) * 4) * c.H;
}

}  // namespace

ThumbnailGrid ChooseThumbnailGrid(int n, int width, int height) {
    ThumbnailGrid grid;
    long long kept = 0;
    for (int c = 1; c <= n; ++c) {
        const long long area = pictureArea(cellFor(n, c, width, height));
        if (area > kept) {
            kept = area;
            grid.Columns = c;
        }
    }
    if (grid.Columns == 0) return grid;
    Cell cell = cellFor(n, grid.Columns, width, height);
    if ((cell.W / 4) * 3 < cell.H) {
        cell.H = (cell.W / 4) * 3;
    } else {
        cell.W = (cell.H / 3) * 4;
    }
    grid.CellWidth = cell.W;
    grid.CellHeight = cell.H;
    return grid;
}
