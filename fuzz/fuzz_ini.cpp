// The INI reader and writer on any bytes: lookups, a write, and the
// properties the settings rely on: a value written is the value read back,
// the write touches no other key, and a document survives its own bytes.
#include "FuzzSupport.h"
#include "common/IniFile.h"
#include "common/mdlFunction.h"

#include <QStringList>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    IniDocument doc = IniDocument::fromBytes(bytes);

    const QStringList keys = {QStringLiteral("Timeout"), QStringLiteral("ChachDirctory"), QStringLiteral("Width"),
                              QStringLiteral("ShowLimit")};
    QString before[4];
    bool had[4];
    for (int i = 0; i < 4; ++i) had[i] = doc.value(QStringLiteral("General"), keys[i], &before[i]);

    // A path with spaces, Japanese and an "=" must survive as written.
    const QString path = QStringLiteral("/home/ユーザー/保存 先/a=b");
    doc.setValue(QStringLiteral("General"), QStringLiteral("ChachDirctory"), path);
    QString got;
    FUZZ_CHECK(doc.value(QStringLiteral("General"), QStringLiteral("ChachDirctory"), &got));
    // Non-CP932 characters cannot be stored in a CP932 file, but these are all CP932.
    FUZZ_CHECK(got == path);
    for (int i : {0, 2, 3}) {
        QString after;
        const bool has = doc.value(QStringLiteral("General"), keys[i], &after);
        FUZZ_CHECK(has == had[i]);
        FUZZ_CHECK(after == before[i]);
    }

    const QByteArray written = doc.toBytes();
    const IniDocument again = IniDocument::fromBytes(written);
    FUZZ_CHECK(again.toBytes() == written);
    QString reread;
    FUZZ_CHECK(again.value(QStringLiteral("General"), QStringLiteral("ChachDirctory"), &reread));
    FUZZ_CHECK(reread == path);
    return 0;
}
