#pragma once
// What the fuzz targets share: a Qt application object made once, and a
// check that aborts (so libFuzzer keeps the input) when a property fails.

#include <QByteArray>
#include <QCoreApplication>
#include <QList>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// The application object lives for the whole run. App is QApplication for
// targets with widgets (offscreen: fuzzing has no display).
template <class App = QCoreApplication>
inline void initApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new App(argc, argv);
}

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// An input standing for several files: up to `count` parts separated by
// two NUL bytes; missing parts are empty.
inline QList<QByteArray> splitParts(const QByteArray& all, int count) {
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = i < count - 1 ? all.indexOf(QByteArray("\0\0", 2), from) : -1;
        parts << all.mid(from, at < 0 ? -1 : at - from);
        from = at < 0 ? all.size() : at + 2;
    }
    return parts;
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(cond)                  \
    do {                                  \
        if (!(cond)) ::fuzz::fail(#cond); \
    } while (0)
