#include "common/BodyText.h"

#include "common/Cp932.h"
#include "common/TextFile.h"

#include <QRegularExpression>

QString DeclaredCharset(const QString& contentType) {
    static const QRegularExpression re(QStringLiteral("charset\\s*=\\s*\"?([^\";\\s]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(contentType);
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

QString DecodeBodyText(const QByteArray& body, const QString& contentType) {
    const QString charset = DeclaredCharset(contentType);
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (charset == QLatin1String("utf-8") || charset == QLatin1String("utf8") || bom)
        return Cp932::decodeCharset(bom ? body.mid(3) : body, QStringLiteral("utf-8"));
    if (charset == QLatin1String("euc-jp") || charset == QLatin1String("x-euc-jp") ||
        charset == QLatin1String("iso-2022-jp"))
        return Cp932::decodeCharset(body, charset);
    if (DetectTextEncoding(body) == TextEncoding::Utf8) return Cp932::decodeCharset(body, QStringLiteral("utf-8"));
    return Cp932::decode(body);
}
