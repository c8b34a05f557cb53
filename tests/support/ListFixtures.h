#pragma once
// List-file cases kept as fixture folders: tests/fixtures/lists/<program>/<Case>/
// holds in/ (the files found at start-up) and out/ (the files as written at
// exit; a file missing there is not written). The fuzz seeds are made from
// the same folders (fuzz/make-seeds.py).
//
// VANTORA_WRITE_FIXTURES=1 makes the fixture tests write out/ instead of
// comparing with it: how a new case gets its expected files.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

struct ListFixture {
    std::string name;  // the folder's name, a test row's name
    QString path;      // the case folder

    // The file of in/ or out/; a null array when the folder has none.
    QByteArray input(const QString& file) const;
    QByteArray expected(const QString& file) const;
};

// Every case of one program ("viewer" or "updater"), sorted by name.
std::vector<ListFixture> ListFixtures(const char* program);
ListFixture ListFixtureNamed(const char* program, const char* name);

// True when the tests write the expected files instead of checking them.
bool WritingFixtures();
void WriteExpected(const ListFixture& fixture, const QString& file, const QByteArray* bytes);
