#include "DemoOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

int DemoOptions::threadCount() const {
    if (Threads > 0) return Threads;
    // httplib serves a keep-alive connection on one pool thread for its whole
    // life, and the viewer keeps about one connection per shown channel.
    return std::clamp(Channels + 32, 48, 2048);
}

namespace {

bool parseSize(const QString& text, QSize* size) {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) return false;
    const QSize s(m.captured(1).toInt(), m.captured(2).toInt());
    if (s.width() < 16 || s.height() < 16 || s.width() > 8192 || s.height() > 8192) return false;
    *size = s;
    return true;
}

bool parseInt(const QString& text, int low, int high, int* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high) return false;
    *value = v;
    return true;
}

bool parseShare(const QString& text, double* value) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 1.0)) return false;
    *value = v;
    return true;
}

}  // namespace

bool ParseDemoOptions(const QStringList& arguments, DemoOptions& o, QString* error, QString* helpText) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Publishes synthetic live channels (information files, JPEG pictures, a channel list) over HTTP."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This text."));
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Address to bind (127.0.0.1)."),
                                  QStringLiteral("address"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port; 0 picks one. The port is the first line on stdout."),
                                  QStringLiteral("n"));
    const QCommandLineOption channels(QStringLiteral("channels"), QStringLiteral("Number of channels (12)."),
                                      QStringLiteral("n"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Picture size (640x480)."),
                                  QStringLiteral("WxH"));
    const QCommandLineOption thumb(QStringLiteral("thumbnail-size"), QStringLiteral("Thumbnail size (160x120)."),
                                   QStringLiteral("WxH"));
    const QCommandLineOption reload(QStringLiteral("reload"), QStringLiteral("Reload period in seconds (5)."),
                                    QStringLiteral("s"));
    const QCommandLineOption cycle(QStringLiteral("status-cycle"),
                                   QStringLiteral("Seconds of one broadcast/rest/stop cycle (300); 0: always on air."),
                                   QStringLiteral("s"));
    const QCommandLineOption quality(QStringLiteral("quality"), QStringLiteral("JPEG quality (75)."),
                                     QStringLiteral("1-100"));
    const QCommandLineOption prerender(QStringLiteral("prerender"),
                                       QStringLiteral("Render this many frames per channel up front and cycle "
                                                      "through them (0: draw live frames)."),
                                       QStringLiteral("n"));
    const QCommandLineOption notFound(QStringLiteral("share-404"),
                                      QStringLiteral("Share of channels answering 404 (0)."), QStringLiteral("0-1"));
    const QCommandLineOption slow(QStringLiteral("share-slow"), QStringLiteral("Share of channels answering late (0)."),
                                  QStringLiteral("0-1"));
    const QCommandLineOption broken(QStringLiteral("share-broken"),
                                    QStringLiteral("Share of channels with broken pictures (0)."),
                                    QStringLiteral("0-1"));
    const QCommandLineOption delay(QStringLiteral("slow-delay"),
                                   QStringLiteral("Delay of the late channels in milliseconds (3000)."),
                                   QStringLiteral("ms"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of names, phases and faults (1)."),
                                  QStringLiteral("n"));
    const QCommandLineOption threads(
        QStringLiteral("threads"), QStringLiteral("Server threads (channels + 32, at least 48)."), QStringLiteral("n"));
    const QCommandLineOption keepAlive(QStringLiteral("keep-alive"),
                                       QStringLiteral("Seconds an idle connection is kept (5); 0 closes each "
                                                      "connection after one answer."),
                                       QStringLiteral("s"));
    const QCommandLineOption duration(QStringLiteral("duration"),
                                      QStringLiteral("Stop after this many seconds (0: on SIGINT/SIGTERM)."),
                                      QStringLiteral("s"));
    const QCommandLineOption prepare(QStringLiteral("prepare"),
                                     QStringLiteral("Write a viewer program folder for these channels into dir."),
                                     QStringLiteral("dir"));
    const QCommandLineOption noServe(QStringLiteral("no-serve"),
                                     QStringLiteral("With --prepare and --port: write the folder for a publisher "
                                                    "started with the same options, then exit."));
    const QCommandLineOption requestLog(QStringLiteral("request-log"),
                                        QStringLiteral("Write each request's arrival (monotonic nanoseconds and "
                                                       "path) to file when the publisher stops."),
                                        QStringLiteral("file"));
    p.addOptions({help, host,   port,  channels, size,    thumb,     reload,   cycle,   quality, prerender, notFound,
                  slow, broken, delay, seed,     threads, keepAlive, duration, prepare, noServe, requestLog});

    auto fail = [&](const QString& message) {
        if (error) *error = message;
        return false;
    };
    if (!p.parse(arguments)) return fail(p.errorText());
    if (p.isSet(help)) {
        if (helpText) *helpText = p.helpText();
        return fail(QString());
    }
    if (!p.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first()));

    struct IntOption {
        const QCommandLineOption& option;
        int low, high;
        int* target;
    };
    const IntOption ints[] = {
        {port, 0, 65535, &o.Port},
        {channels, 1, 100000, &o.Channels},
        {reload, 1, 86400, &o.ReloadSeconds},
        {cycle, 0, 7 * 86400, &o.StatusCycleSeconds},
        {quality, 1, 100, &o.JpegQuality},
        {prerender, 0, 1000, &o.PrerenderFrames},
        {delay, 0, 600000, &o.SlowDelayMs},
        {threads, 0, 10000, &o.Threads},
        {keepAlive, 0, 3600, &o.KeepAliveSeconds},
        {duration, 0, 30 * 86400, &o.DurationSeconds},
    };
    for (const IntOption& i : ints)
        if (p.isSet(i.option) && !parseInt(p.value(i.option), i.low, i.high, i.target))
            return fail(QStringLiteral("--%1 wants a whole number from %2 to %3")
                            .arg(i.option.names().constFirst())
                            .arg(i.low)
                            .arg(i.high));

    if (p.isSet(requestLog)) o.RequestLog = p.value(requestLog);
    if (p.isSet(size) && !parseSize(p.value(size), &o.PictureSize))
        return fail(QStringLiteral("--size wants WxH, each side 16 to 8192"));
    if (p.isSet(thumb) && !parseSize(p.value(thumb), &o.ThumbnailSize))
        return fail(QStringLiteral("--thumbnail-size wants WxH, each side 16 to 8192"));

    const std::pair<const QCommandLineOption*, double*> shares[] = {
        {&notFound, &o.NotFoundShare}, {&slow, &o.SlowShare}, {&broken, &o.BrokenShare}};
    for (const auto& [option, target] : shares)
        if (p.isSet(*option) && !parseShare(p.value(*option), target))
            return fail(QStringLiteral("--%1 wants a share from 0 to 1").arg(option->names().constFirst()));
    if (o.NotFoundShare + o.SlowShare + o.BrokenShare > 1.0 + 1e-9)
        return fail(QStringLiteral("the fault shares add up to more than 1"));

    if (p.isSet(seed)) {
        bool ok = false;
        o.Seed = p.value(seed).trimmed().toUInt(&ok);
        if (!ok) return fail(QStringLiteral("--seed wants a whole number from 0 to 4294967295"));
    }
    if (p.isSet(host)) o.Host = p.value(host).trimmed();
    if (p.isSet(prepare)) o.PrepareFolder = p.value(prepare);
    if (p.isSet(noServe)) {
        if (o.PrepareFolder.isEmpty() || o.Port == 0)
            return fail(QStringLiteral("--no-serve needs --prepare and the publisher's --port"));
        o.Serve = false;
    }
    return true;
}
