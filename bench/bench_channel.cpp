// Channel engine benchmarks. Each figure is printed beside a baseline
// measured in the same run, since absolute times on shared machines are
// noisy:
//   - one accepted picture through DataArrival (JPEG check, decode, cache
//     write, show box and two thumbnail boxes) against a bare QImage decode
//     of the same bytes;
//   - one manager tick over 100 000 channels no view shows, and one tick
//     over 100 000 waiting channels, against a plain pass over as many heap
//     objects.

#include <benchmark/benchmark.h>

#include "channel/ChannelInfomation.h"
#include "channel/HTTPTransfer.h"
#include "channel/PictureDecode.h"
#include "channel/PictureElement.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kChannels = 100000;

// A 640x480 picture with detail (a flat colour would decode unrealistically
// fast), as a publisher sends it: JPEG at quality 80 with an APP5 record.
QByteArray publishedPicture() {
    QImage image(640, 480, QImage::Format_RGB32);
    quint32 noise = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            noise = noise * 1103515245u + 12345u;
            const int n = int((noise >> 16) & 0x3F);
            line[x] = qRgb((x / 3 + n) & 0xFF, (y / 2 + n) & 0xFF, ((x ^ y) + n) & 0xFF);
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    const QByteArray payload = Cp932::encode(QStringLiteral("Vantora,0,1,2002/10/05 12:34:56,ベンチ"));
    const int length = int(payload.size()) + 2;
    QByteArray app5;
    app5.append(char(0xFF)).append(char(0xE5)).append(char(length >> 8)).append(char(length & 0xFF));
    return jpeg.left(2) + app5 + payload + jpeg.mid(2);
}

const QByteArray& picture() {
    static const QByteArray bytes = publishedPicture();
    return bytes;
}

QString infoText(int status, int reload) {
    return QStringLiteral(
               "ProtocolSignature=VTR1\r\nChannelID=bench\r\nURL=http://127.0.0.1:9/full.jpg\r\n"
               "ThumbnailURL=http://127.0.0.1:9/thumb.jpg\r\nReloadTime=%1\r\nStatusFlag=%2\r\n"
               "CommentforChannel=ベンチマーク\r\nLast-Modified=2002/10/05 12:34:56\r\n")
        .arg(reload)
        .arg(status);
}

// Settings and a manager whose events nobody handles; channels made by hand
// get no transfer object, so no request ever leaves the process.
struct Engine {
    QTemporaryDir dir;
    ProgramSettings settings;
    CurlMulti curl;
    HTTPTransferArray http{curl};
    clsChannelManeger manager{settings, http};
    PictureElementArray boxes;

    Engine() {
        settings.ChachDirctory = dir.path() + QStringLiteral("/chach/");
        settings.PictureSaveDirctory = dir.path() + QStringLiteral("/save/");
        QDir().mkpath(settings.ChachDirctory);
    }
    std::unique_ptr<clsChannel> channel(const QString& id) {
        auto ch = std::make_unique<clsChannel>();
        ch->ClassInitialize(id, QStringLiteral("VTR1"), id, QString(), false, boxes.Load(), nullptr, &manager);
        return ch;
    }
};

void BM_BareDecode(benchmark::State& state) {
    const QByteArray& bytes = picture();
    for (auto _ : state) {
        QImage image = QImage::fromData(bytes, "JPG");
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The decoder the channel uses (QImage's reader takes only what it cannot
// read cleanly).
void BM_ViewerDecode(benchmark::State& state) {
    const QByteArray& bytes = picture();
    for (auto _ : state) {
        QImage image = DecodePicture(bytes);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_DataArrivalPicture(benchmark::State& state) {
    Engine engine;
    auto ch = engine.channel(QStringLiteral("bench"));
    ch->AddThumbnailShowBox(QStringLiteral("1"), engine.boxes.Load(), true);
    ch->AddThumbnailShowBox(QStringLiteral("2"), engine.boxes.Load(), false);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ch->DataArrival(clsChannel::DataTypeText, infoText(0, 1), QByteArray(), QString());
    if (ch->State() != ChannelState::PictureRequested) state.SkipWithError("the channel did not ask for its picture");
    const QByteArray& bytes = picture();
    for (auto _ : state) {
        ch->DataArrival(clsChannel::DataTypeBytes, QString(), bytes, QString());
        ch->CauseOneSecEvent();  // the picture's reload time is one tick: ask again
    }
    if (ch->PictureType() != PictureKind::Full || !ch->ShowBox()->HasPicture())
        state.SkipWithError("the picture was not shown");
}

// The same path with the cache write left out (an empty cache setting skips
// it), to tell the file system's share from ours.
void BM_DataArrivalPictureNoCache(benchmark::State& state) {
    Engine engine;
    engine.settings.ChachDirctory.clear();
    auto ch = engine.channel(QStringLiteral("bench"));
    ch->AddThumbnailShowBox(QStringLiteral("1"), engine.boxes.Load(), true);
    ch->AddThumbnailShowBox(QStringLiteral("2"), engine.boxes.Load(), false);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ch->DataArrival(clsChannel::DataTypeText, infoText(0, 1), QByteArray(), QString());
    const QByteArray& bytes = picture();
    for (auto _ : state) {
        ch->DataArrival(clsChannel::DataTypeBytes, QString(), bytes, QString());
        ch->CauseOneSecEvent();
    }
    if (ch->PictureType() != PictureKind::Full || !ch->ShowBox()->HasPicture())
        state.SkipWithError("the picture was not shown");
}

struct Plain {
    virtual ~Plain() = default;
    virtual void CauseOneSecEvent();
    int state = 1;
    int seconds = 0;
};
void Plain::CauseOneSecEvent() {
    if (state == 4) ++seconds;
}

void BM_BaselinePass100k(benchmark::State& state) {
    std::vector<std::unique_ptr<Plain>> objects;
    objects.reserve(kChannels);
    for (int i = 0; i < kChannels; ++i) objects.push_back(std::make_unique<Plain>());
    for (auto _ : state)
        for (const auto& o : objects) o->CauseOneSecEvent();
    benchmark::DoNotOptimize(objects.front()->seconds);
}

void BM_TickIdle100k(benchmark::State& state) {
    Engine engine;
    for (int i = 0; i < kChannels; ++i) {
        const QStringList record{QStringLiteral("Channel"),
                                 QStringLiteral("VTR1"),
                                 QStringLiteral("ch%1").arg(i),
                                 QStringLiteral("name"),
                                 QStringLiteral("http://127.0.0.1:9/%1/info.txt").arg(i),
                                 QStringLiteral("False")};
        engine.manager.ChannelInitialize(engine.boxes.Load(), record);
    }
    if (engine.manager.ChannelCount() != kChannels) state.SkipWithError("channels missing");
    for (auto _ : state) engine.manager.CauseOneSecEvent();
}

// Waiting channels count a second and rebuild their information line on
// every tick; the wait is long enough never to end during the run.
void BM_TickWaiting100k(benchmark::State& state) {
    Engine engine;
    std::vector<std::unique_ptr<clsChannel>> channels;
    channels.reserve(kChannels);
    const QString info = infoText(1, 1000000000);
    for (int i = 0; i < kChannels; ++i) {
        auto ch = engine.channel(QStringLiteral("ch%1").arg(i));
        ch->setShowPictureOnlyOnBroadCast(true);  // 休止中 and blank: it just waits
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ch->DataArrival(clsChannel::DataTypeText, info, QByteArray(), QString());
        channels.push_back(std::move(ch));
    }
    if (channels.back()->State() != ChannelState::Waiting) state.SkipWithError("the channels are not waiting");
    for (auto _ : state)
        for (const auto& ch : channels) ch->CauseOneSecEvent();
}

BENCHMARK(BM_BareDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ViewerDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataArrivalPicture)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataArrivalPictureNoCache)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BaselinePass100k)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickIdle100k)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickWaiting100k)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then each figure against its baseline. With
// --benchmark_repetitions the fastest repetition of each counts (the least
// disturbed by other load on the machine).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const double scale = micros(run.time_unit);
            Figure& f = figures_[run.run_name.function_name];
            f.real = std::min(f.real, run.GetAdjustedRealTime() * scale);
            f.cpu = std::min(f.cpu, run.GetAdjustedCPUTime() * scale);
        }
    }
    void PrintRatios() const {
        std::printf("\nAgainst the baselines of this run (microseconds per iteration):\n");
        std::printf("  (picture: 640x480 JPEG of %lld bytes)\n", static_cast<long long>(picture().size()));
        ratio("BM_DataArrivalPicture", "BM_BareDecode", "picture through DataArrival / bare decode");
        ratio("BM_DataArrivalPictureNoCache", "BM_BareDecode", "same without the cache write / bare decode");
        ratio("BM_ViewerDecode", "BM_BareDecode", "the viewer's decoder / bare decode");
        ratio("BM_TickIdle100k", "BM_BaselinePass100k", "tick, 100 000 idle channels / plain pass");
        ratio("BM_TickWaiting100k", "BM_BaselinePass100k", "tick, 100 000 waiting channels / plain pass");
    }

private:
    struct Figure {
        double real = std::numeric_limits<double>::max();
        double cpu = std::numeric_limits<double>::max();
    };
    static double micros(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e-3;
            case benchmark::kMicrosecond:
                return 1.0;
            case benchmark::kMillisecond:
                return 1e3;
            case benchmark::kSecond:
                return 1e6;
        }
        return 1.0;
    }
    void ratio(const char* figure, const char* baseline, const char* what) const {
        const auto f = figures_.find(figure);
        const auto b = figures_.find(baseline);
        if (f == figures_.end() || b == figures_.end()) return;
        std::printf("  %-46s real %9.1f / %8.1f = %7.2f   cpu %9.1f / %8.1f = %7.2f\n", what, f->second.real,
                    b->second.real, f->second.real / b->second.real, f->second.cpu, b->second.cpu,
                    f->second.cpu / b->second.cpu);
    }
    std::map<std::string, Figure> figures_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
