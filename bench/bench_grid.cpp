// The thumbnail grid of a 400-member folder: laying it out
// (ArrangeThumbnailBox) and painting it at device pixel ratios 1 and 2,
// beside baselines measured in the same run (the grid arithmetic alone; a
// bare QPainter drawing 400 ready pixmaps on a surface of the same size);
// and painted with its tiles filling their cells (ScaleTiles), beside the
// same grid without.

#include "BenchUtil.h"

#include "channel/PictureElement.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "storage/TreeListFormat.h"
#include "storage/frmSetting.h"
#include "view/ShowAreaWidget.h"
#include "view/ThumbnailGrid.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int members = 400;
    QTemporaryDir dir;
    QStringList channels{"ChannelList\t\tL\t\tTrue\t\thttp://l/"};
    QStringList folders{"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\tF\t\tTrue"};
    for (int i = 0; i < members; ++i) {
        channels << QStringLiteral("\tChannel\t\tP\t\tc%1\t\t放送局 %1\t\thttp://127.0.0.1:9/%1\t\tFalse").arg(i);
        folders << QStringLiteral("\t\tMultiMonitorChannel\t\tc%1").arg(i);
    }
    WriteTreeListFile(dir.path() + "/ChannelList.txt", channels, TextEncoding::Cp932);
    WriteTreeListFile(dir.path() + "/MultiMonitor.txt", folders, TextEncoding::Cp932);

    frmMain window(dir.path(), std::make_unique<frmSetting>());
    window.show();
    window.LoadSetting();
    window.resize(1600, 1000);             // after the start-up fit to the (small) offscreen screen
    window.tmrCauseOneSecEvent()->stop();  // no fetching: the pictures are set below
    window.OpenMultiMonitorTab("1");
    QImage picture(160, 120, QImage::Format_RGB32);
    QList<PictureElement*> boxes = window.MultiMonitorManeger()->MultiMonitor("1")->ShowBox();
    for (int i = 1; i < boxes.size(); ++i) {
        picture.fill(QColor::fromHsv((i * 37) % 360, 200, 220));
        boxes[i]->setPicture(picture.copy());
    }
    ShowAreaWidget* area = window.cntShowBox();
    const QSize size = area->size();

    const int runs = 200;
    std::vector<double> arrange, arithmetic, paint, barePaint;
    for (int r = 0; r < runs; ++r) {
        arrange.push_back(bench::timeMs([&] { window.ArrangeThumbnailBox(); }));
        arithmetic.push_back(bench::timeMs([&] {
            const ThumbnailGrid g = ChooseThumbnailGrid(members, size.width(), size.height());
            QRect sink;
            for (int i = 1; i <= members; ++i) sink |= QRect(g.CellOrigin(i), QSize(g.CellWidth, g.CellHeight));
            if (sink.isEmpty()) std::abort();
        }));
    }
    // Painting: the widget into an image, as its paint event does on screen,
    // at device pixel ratio 1 and 2 (pictures and names at twice the pixels).
    auto measurePaint = [&](qreal ratio, std::vector<double>& widgetTimes, std::vector<double>& bareTimes) {
        QImage surface(size * ratio, QImage::Format_RGB32);
        surface.setDevicePixelRatio(ratio);
        area->render(&surface);  // first paint scales every picture once
        std::vector<QPixmap> ready;
        for (int i = 1; i < boxes.size(); ++i) {
            ready.push_back(QPixmap::fromImage(boxes[i]->Picture().scaled(boxes[i]->Rect().size() * ratio)));
            ready.back().setDevicePixelRatio(ratio);
        }
        for (int r = 0; r < runs; ++r) {
            widgetTimes.push_back(bench::timeMs([&] { area->render(&surface); }));
            bareTimes.push_back(bench::timeMs([&] {
                QPainter p(&surface);
                for (size_t i = 0; i < ready.size(); ++i) p.drawPixmap(boxes[int(i) + 1]->Rect().topLeft(), ready[i]);
            }));
        }
    };
    std::vector<double> paint2, barePaint2;
    measurePaint(1, paint, barePaint);
    measurePaint(2, paint2, barePaint2);
    // The same grid with its tiles filling their cells (pictures fitted and
    // names elided, each made once, so a paint only copies them again),
    // measured in turn with the grid without them.
    std::vector<double> scaled, unscaled;
    {
        QImage surface(size, QImage::Format_RGB32);
        for (int r = 0; r < runs; ++r) {
            for (const bool on : {true, false}) {
                window.Watch().ScaleTiles = on;
                window.ArrangeThumbnailBox();
                if (r == 0) area->render(&surface);  // the first paint makes them
                (on ? scaled : unscaled).push_back(bench::timeMs([&] { area->render(&surface); }));
            }
        }
    }
    const ThumbnailGrid g = ChooseThumbnailGrid(members, size.width(), size.height());
    std::printf("thumbnail grid: %d members in a %dx%d show area (%d columns, cells %dx%d), median of %d\n", members,
                size.width(), size.height(), g.Columns, g.CellWidth, g.CellHeight, runs);
    bench::row("ArrangeThumbnailBox", bench::median(arrange), "ms", bench::median(arithmetic), "target <= 2 ms");
    bench::row("  baseline: the grid arithmetic alone", bench::median(arithmetic), "ms");
    bench::row("paint the grid (pictures, names, frame)", bench::median(paint), "ms", bench::median(barePaint),
               "target <= 2 ms");
    bench::row("  baseline: QPainter drawing 400 ready pixmaps", bench::median(barePaint), "ms");
    bench::row("paint the grid at device pixel ratio 2", bench::median(paint2), "ms", bench::median(barePaint2),
               "target <= 8 ms (4x the pixels)");
    bench::row("  baseline: 400 ready pixmaps at ratio 2", bench::median(barePaint2), "ms");
    bench::row("paint the grid with ScaleTiles on", bench::median(scaled), "ms", bench::median(unscaled),
               "target <= 2x the grid with it off");
    bench::row("  baseline: the same grid with ScaleTiles off", bench::median(unscaled), "ms");
    return 0;
}
