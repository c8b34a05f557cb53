// Drawing at device pixel ratio 2 (Qt's scale factor, set before the
// application exists), compared with ratio 1 doubled.

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

// The widget drawn at ratio 1, doubled as the screen would show it.
QImage drawnAtRatioOneAndDoubled(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
    return image.scaled(widget.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

TEST(ScaleTwo, StretchedPicturesAndNameLabelsKeepTheirDetail) {
    ASSERT_TRUE(kScaledByTwo);
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    // 2-pixel squares stretched, and a thumbnail with its name label.
    QImage checker(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < checker.height(); ++y)
        for (int x = 0; x < checker.width(); ++x)
            checker.setPixel(x, y, ((x / 2 + y / 2) % 2) ? 0xffffffu : 0xff000000u);
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

    auto expectSharp = [&](const char* what, const QRect& area, double contrast, double detail) {
        const Sharpness sharp = measure(screen, area);
        EXPECT_GE(sharp.contrast, contrast) << what;
        EXPECT_GE(sharp.detail, detail) << what;
        EXPECT_GT(sharp.detail, 1.5 * measure(reference, area).detail) << what;
    };
    expectSharp("stretched picture", QRect(200, 200, 1000, 700), 70, 100);
    expectSharp("name label", QRect(0, 1384, 300, 24), 20, 30);
}

// The toolbar's images are drawn for the device: detail inside aligned
// 2 x 2 blocks of each button, which a 16 x 16 image doubled has not.
TEST(ScaleTwo, ToolbarImagesAreDrawnAtTheDevicePixels) {
    ViewerFixture f;
    QToolBar* toolbar = f.open().tbrNormal();
    const QImage shot = toolbar->grab().toImage();
    keep(shot, "scale2-toolbar.png");
    int images = 0;
    for (QAction* action : toolbar->actions()) {
        if (action->icon().isNull()) continue;
        QRect button = toolbar->widgetForAction(action)->geometry();
        if (action->menu()) button.setRight(button.right() - 11);  // the style's own arrow part
        const double detail = measure(shot, QRect(button.topLeft() * 2, button.size() * 2)).detail;
        EXPECT_GT(detail, 2) << action->objectName().toStdString();
        ++images;
    }
    EXPECT_GE(images, 5);
}

}  // namespace
