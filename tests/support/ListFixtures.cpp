#include "ListFixtures.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray readOrNull(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

QByteArray ListFixture::input(const QString& file) const { return readOrNull(path + "/in/" + file); }
QByteArray ListFixture::expected(const QString& file) const { return readOrNull(path + "/out/" + file); }

std::vector<ListFixture> ListFixtures(const char* program) {
    const QDir root(QStringLiteral(VANTORA_SOURCE_DIR "/tests/fixtures/lists/") + QLatin1String(program));
    std::vector<ListFixture> cases;
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        cases.push_back({name.toStdString(), root.filePath(name)});
    return cases;
}

ListFixture ListFixtureNamed(const char* program, const char* name) {
    return {name, QStringLiteral(VANTORA_SOURCE_DIR "/tests/fixtures/lists/%1/%2").arg(program, name)};
}

bool WritingFixtures() { return qEnvironmentVariableIntValue("VANTORA_WRITE_FIXTURES") == 1; }

void WriteExpected(const ListFixture& fixture, const QString& file, const QByteArray* bytes) {
    const QString path = fixture.path + "/out/" + file;
    if (!bytes) {
        QFile::remove(path);
        return;
    }
    QDir().mkpath(fixture.path + "/out");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(*bytes);
}
