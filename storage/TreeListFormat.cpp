#include "storage/TreeListFormat.h"

#include "common/SafeFile.h"
#include "common/mdlFunction.h"

TreeListLine ParseTreeListLine(const QString& line) {
    TreeListLine out;
    out.Depth = mdlFunction::CountLeading(line, QChar(u'\t'));
    out.Pieces = mdlFunction::SplitString(line.mid(out.Depth), QChar(u'\t'), true, true);
    return out;
}

QString FormatTreeListLine(int depth, const QString& recordType, const QStringList& fields, bool singleTab) {
    const QLatin1String separator(singleTab ? "\t" : "\t\t");
    // One allocation: the exit writes a line per node.
    qsizetype size = qMax(0, depth) + recordType.size();
    for (const QString& f : fields) size += separator.size() + f.size();
    QString line;
    line.reserve(size);
    line.resize(qMax(0, depth), QChar(u'\t'));
    line += recordType;
    for (const QString& f : fields) {
        line += separator;
        line += f;
    }
    return line;
}

QString CleanListField(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c == QChar(u'\t') || c == QChar(u'\r') || c == QChar(u'\n') || c == QChar(u'\u0001')) c = QChar(u' ');
    return mdlFunction::TrimSpaces(out);
}

TreeListFile ReadTreeListFile(const QString& path) {
    TreeListFile file;
    file.Lines = mdlFunction::ReadLines(path, true, &file.Info);
    return file;
}

bool WriteTreeListFile(const QString& path, const QStringList& lines, TextEncoding encoding, QString* error) {
    return WriteFileAtomically(path, EncodeLines(lines, encoding), true, error);
}
