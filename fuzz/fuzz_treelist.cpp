// The viewer's three list files as the window loads them at start-up. The
// input holds ChannelList.txt, Favorite.txt and MultiMonitor.txt separated
// by two NUL bytes. Besides crashes, checks that what the window writes
// back loads and writes back to the same bytes: a list the viewer wrote is
// never changed (or lost) by another start and exit; and that the same
// files with a stray byte (taken from the input) in front of every name
// come back byte for byte too, as long as that leaves their encodings.
#include "FuzzSupport.h"
#include "common/TextFile.h"
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

// The written file with stray in front of each record's name (field 1,
// or 3 for a Channel); separators, IDs and flags stay as they are.
QByteArray withStrayBytes(const QByteArray& file, char stray) {
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray& line : lines) {
        QList<QByteArray> pieces = line.split('\t');
        int field = -1;  // index among the non-empty pieces; 0 is the type
        int name = 1;
        for (QByteArray& piece : pieces) {
            if (piece.isEmpty()) continue;
            if (++field == 0) {
                if (piece == "FavariteChannel" || piece == "MultiMonitorChannel") break;
                if (piece == "Channel") name = 3;
            } else if (field == name) {
                piece.prepend(stray);
                break;
            }
        }
        line = pieces.join('\t');
    }
    return lines.join('\n');
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

    const char stray = char(0x80 | (size > 0 ? data[size - 1] : 0));
    QList<QByteArray> strayed;
    for (int i = 0; i < 3; ++i) {
        const QString path = dir + QLatin1String(kNames[i]);
        if (first[i] == "<missing>") {
            strayed << first[i];
            continue;
        }
        strayed << withStrayBytes(first[i], stray);
        if (DetectTextEncoding(strayed[i]) != DetectTextEncoding(first[i])) return 0;
        writeFile(path, strayed[i]);
    }
    if (loadAndSave(dir) != strayed) fuzz::fail("stray bytes come back byte for byte");
    return 0;
}
