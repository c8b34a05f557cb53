// Drawing at device pixel ratio 2, as on a 4K laptop: this program runs
// with Qt's scale factor 2 (set before the application object exists).
// Each grab is compared with the same area drawn at ratio 1 and doubled,
// and both are kept in build/test-artifacts/.

#include <gtest/gtest.h>

#include "ViewerFixture.h"
#include "channel/PictureElement.h"
#include "view/ShowAreaWidget.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QToolBar>

#include <cmath>

namespace {

const bool kScaledByTwo = qputenv("QT_SCALE_FACTOR", "2");

void keep(const QImage& image, const char* name) {
    const QString folder = QStringLiteral(VANTORA_BUILD_DIR "/test-artifacts");
    QDir().mkpath(folder);
    image.save(folder + QLatin1Char('/') + QLatin1String(name));
}

struct Sharpness {
    double contrast = 0;  // standard deviation of the grey level
    double detail = 0;    // mean spread of grey inside aligned 2 x 2 blocks: 0 when pixels are doubled
};

Sharpness measure(const QImage& image, const QRect& area) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0, squares = 0, spread = 0;
    int pixels = 0, blocks = 0;
    for (int y = area.top(); y + 1 <= area.bottom(); y += 2)
        for (int x = area.left(); x + 1 <= area.right(); x += 2) {
            int lo = 255, hi = 0;
            for (int v : {qGray(grey.pixel(x, y)), qGray(grey.pixel(x + 1, y)), qGray(grey.pixel(x, y + 1)),
                          qGray(grey.pixel(x + 1, y + 1))}) {
                sum += v;
                squares += double(v) * v;
                lo = qMin(lo, v);
                hi = qMax(hi, v);
                ++pixels;
            }
            spread += hi - lo;
            ++blocks;
        }
    const double mean = sum / pixels;
    return {std::sqrt(squares / pixels - mean * mean), spread / blocks};
}

// Horizontal steps between neighbours that cover most of the area's grey
// range: the edges of a drawing, which an upscaled image blurs over two.
int steepEdges(const QImage& image, const QRect& area) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    int lo = 255, hi = 0, steps = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            lo = qMin(lo, qGray(grey.pixel(x, y)));
            hi = qMax(hi, qGray(grey.pixel(x, y)));
        }
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x < area.right(); ++x)
            steps += qAbs(qGray(grey.pixel(x + 1, y)) - qGray(grey.pixel(x, y))) > 0.6 * (hi - lo) ? 1 : 0;
    return steps;
}

// The widget drawn at ratio 1, doubled as the screen would show it.
QImage drawnAtRatioOneAndDoubled(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
    return image.scaled(widget.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

TEST(ScaleTwo, StretchedPicturesAndNameLabelsKeepTheirDetail) {
    ASSERT_TRUE(kScaledByTwo);
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    // A 1600 x 1200 picture of 2-pixel squares stretched into 792 x 583,
    // and a thumbnail with its name label under it.
    QImage checker(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < checker.height(); ++y)
        for (int x = 0; x < checker.width(); ++x) checker.setPixel(x, y, ((x / 2 + y / 2) % 2) ? 0xffffffu : 0xff000000u);
    PictureElementArray elements;
    ShowAreaWidget area(elements);
    area.resize(800, 740);
    PictureElement* large = elements.Load();
    large->setPicture(checker);
    large->setStretch(true);
    large->Move(0, 2, 792, 583);
    PictureElement* thumbnail = elements.Load();
    thumbnail->setPicture(checker.copy(0, 0, 120, 90));
    thumbnail->Move(0, 600);
    large->Visible = thumbnail->Visible = true;
    area.LoadLabel();
    NameLabel& label = area.Label(1);
    label.Caption = QStringLiteral("Ch.12 チャンネル名 Sample");
    label.Rect = QRect(0, 692, 200, 12);
    label.Visible = true;

    // Ratio 1 first: what it leaves in the cache must not be reused at 2,
    // as when the window moves to a screen of another ratio.
    const QImage reference = drawnAtRatioOneAndDoubled(area);
    const QImage screen = area.grab().toImage();
    keep(screen, "scale2-show-area.png");
    keep(reference, "scale1-show-area-doubled.png");
    ASSERT_EQ(screen.size(), QSize(1600, 1480));

    // Areas in device pixels.
    const struct {
        const char* what;
        QRect area;
        double contrast, detail;  // least expected at ratio 2
    } rows[] = {{"stretched picture", QRect(200, 200, 1000, 700), 70, 100},
                {"name label", QRect(0, 1384, 300, 24), 20, 30}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Sharpness sharp = measure(screen, row.area);
        const Sharpness doubled = measure(reference, row.area);
        EXPECT_GE(sharp.contrast, row.contrast);
        EXPECT_GE(sharp.detail, row.detail);
        EXPECT_GT(sharp.detail, 1.5 * doubled.detail);
    }
}

TEST(ScaleTwo, ToolbarImagesAreDrawnAtTheDevicePixels) {
    ViewerFixture f;
    frmMain& w = f.open();
    keep(w.grab().toImage(), "scale2-window.png");
    QToolBar* toolbar = w.tbrNormal();
    const QImage shot = toolbar->grab().toImage();
    keep(shot, "scale2-toolbar.png");
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator()) continue;
        SCOPED_TRACE(action->objectName().toStdString());
        // The image as the button draws it: 32 x 32 device pixels with
        // sharp edges, which a 16 x 16 image scaled up does not have.
        QRect button = toolbar->widgetForAction(action)->geometry();
        if (action->menu()) button.setRight(button.right() - 11);  // the style's own arrow part
        const QRect device(button.topLeft() * 2, button.size() * 2);
        EXPECT_GE(steepEdges(shot, device), 16);
        const QPixmap pixmap = action->icon().pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(pixmap.size(), QSize(32, 32));
    }
}

}  // namespace
