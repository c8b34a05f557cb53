// The viewer's three list files as the window loads them at start-up. The
// input holds ChannelList.txt, Favorite.txt and MultiMonitor.txt separated
// by two NUL bytes. Besides crashes, checks that what the window writes
// back loads and writes back to the same bytes: a list the viewer wrote is
// never changed (or lost) by another start and exit.
#include "FuzzSupport.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const char* const kNames[3] = {"/ChannelList.txt", "/Favorite.txt", "/MultiMonitor.txt"};

QTemporaryDir* programDir() {
    // tmpfs: the writes' syncs cost nothing there.
    static QTemporaryDir* dir = new QTemporaryDir(QStringLiteral("/dev/shm/vantora-fuzz-XXXXXX"));
    return dir;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) fuzz::fail("cannot write the input");
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Starts a window on the folder, loads the lists, writes them back and
// returns the three files as written.
QList<QByteArray> loadAndSave(const QString& dir) {
    frmMain window(dir, nullptr);
    window.LoadSetting();
    FUZZ_CHECK(window.SaveTreeListFiles());
    QList<QByteArray> out;
    for (const char* name : kNames) out << readFile(dir + QLatin1String(name));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication<QApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    const QByteArray all = fuzz::bytes(data, size);
    const QString dir = programDir()->path();
    const QList<QByteArray> parts = fuzz::splitParts(all, 3);
    for (int i = 0; i < 3; ++i) {
        const QString path = dir + QLatin1String(kNames[i]);
        // An empty part stands for a missing file.
        if (parts[i].isEmpty())
            QFile::remove(path);
        else
            writeFile(path, parts[i]);
    }
    const QList<QByteArray> first = loadAndSave(dir);
    const QList<QByteArray> second = loadAndSave(dir);
    if (first != second) {
        for (int i = 0; i < 3; ++i)
            if (first[i] != second[i])
                std::fprintf(stderr, "%s first:\n%s\n--- second:\n%s\n---\n", kNames[i],
                             first[i].toHex(' ').constData(), second[i].toHex(' ').constData());
        fuzz::fail("first == second");
    }
    return 0;
}
