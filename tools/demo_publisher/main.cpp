// demo_publisher: serves synthetic channels until SIGINT/SIGTERM (or
// --duration). The first line on stdout is the port, once the server takes
// requests and the --prepare folder, if any, is written.

#include "DemoFolder.h"
#include "DemoPublisher.h"

#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <ctime>

#include <pthread.h>

int main(int argc, char** argv) {
    // Frames are drawn on QImage only; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    // Blocked before any thread exists, so every thread inherits the mask and
    // the main thread alone takes the stop signals with sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QGuiApplication app(argc, argv);
    DemoOptions options;
    QString error, help;
    if (!ParseDemoOptions(app.arguments(), options, &error, &help)) {
        if (!help.isEmpty()) {
            std::fputs(qPrintable(help), stdout);
            return 0;
        }
        std::fprintf(stderr, "demo_publisher: %s\n", qPrintable(error));
        return 2;
    }

    if (!options.Serve) {
        const QString base = Demo::BaseUrl(options.Host, options.Port);
        if (!DemoFolder::Write(options.PrepareFolder, Demo::MakeCatalog(options), base, &error)) {
            std::fprintf(stderr, "demo_publisher: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }

    DemoPublisher publisher(options);
    if (!publisher.start(&error)) {
        std::fprintf(stderr, "demo_publisher: %s\n", qPrintable(error));
        return 1;
    }
    if (!options.PrepareFolder.isEmpty() &&
        !DemoFolder::Write(options.PrepareFolder, publisher.channels(), publisher.baseUrl(), &error)) {
        std::fprintf(stderr, "demo_publisher: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d\n", publisher.port());
    std::printf("channel list: %s\n", qPrintable(publisher.listUrl()));
    std::fflush(stdout);
    std::fprintf(stderr, "demo_publisher: %d channels on %s, reload %d s, %d server threads\n",
                 int(publisher.channels().size()), qPrintable(publisher.baseUrl()), options.ReloadSeconds,
                 options.threadCount());

    if (options.DurationSeconds > 0) {
        const timespec limit{options.DurationSeconds, 0};
        sigtimedwait(&stopSignals, nullptr, &limit);
    } else {
        int signal = 0;
        sigwait(&stopSignals, &signal);
    }
    publisher.stop();
    std::fprintf(stderr, "demo_publisher: %lld requests, %lld frames encoded\n",
                 static_cast<long long>(publisher.requestCount()), static_cast<long long>(publisher.renderCount()));
    return 0;
}
