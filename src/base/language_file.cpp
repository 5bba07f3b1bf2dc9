// Reading language files: byte-order mark, line ends, first-wins names and the value escapes.
#include "base/language_file.h"

#include <QFile>

namespace pxh {

namespace {

void AddLine(QHash<QString, QString>& AEntries, QStringView ALine) {
    const qsizetype eq = ALine.indexOf(u'=');
    if (eq < 0)
        return; // the title line, empty lines and any other line without "=" are not entries
    const QString name = TLanguageTexts::FoldName(ALine.left(eq).toString());
    if (!AEntries.contains(name))
        AEntries.insert(name, ALine.mid(eq + 1).toString());
}

} // namespace

TLanguageTexts TLanguageTexts::Parse(const QByteArray& AContent) {
    QByteArrayView bytes(AContent);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // Invalid UTF-8 sequences become U+FFFD, so a damaged file still yields its readable entries.
    const QString text = QString::fromUtf8(bytes);

    TLanguageTexts result;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        AddLine(result.FEntries, QStringView(text).mid(start, i - start));
        if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        AddLine(result.FEntries, QStringView(text).mid(start));
    return result;
}

TLanguageTexts TLanguageTexts::Read(const QString& AFileName) {
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ELanguageFile(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, file.errorString()));
    // Read one byte past the limit instead of trusting size(): devices and pipes report none.
    const QByteArray content = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw ELanguageFile(QStringLiteral("Cannot read file \"%1\". %2").arg(AFileName, file.errorString()));
    if (content.size() > MaxFileSize)
        throw ELanguageFile(QStringLiteral("File \"%1\" is too large for a language file").arg(AFileName));
    return Parse(content);
}

std::optional<QString> TLanguageTexts::Value(const QString& AName) const {
    const auto it = FEntries.constFind(FoldName(AName));
    if (it == FEntries.constEnd())
        return std::nullopt;
    return *it;
}

QString TLanguageTexts::FoldName(const QString& AName) {
    // ASCII only: the names are "LocaleID", "Name" and hexadecimal keys, and a locale-dependent
    // upper-casing could make two different names equal.
    QString result = AName;
    for (QChar& c : result)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    return result;
}

QString TextKey(int ATextID) {
    return QString::number(static_cast<unsigned>(ATextID), 16).toUpper().rightJustified(4, u'0');
}

QString UnescapeBlanks(const QString& AValue) {
    QString result = AValue;
    result.replace(u'_', u' ');
    return result;
}

QString ExpandLineBreaks(const QString& AValue) {
    QString result = AValue;
    result.replace(QStringLiteral("#$D"), QStringLiteral("\r\n"));
    return result;
}

std::int32_t ParseLocaleID(const QString& AValue) {
    const QString digits = AValue.trimmed();
    bool ok = !digits.isEmpty() && digits.size() <= 8;
    const unsigned value = ok ? digits.toUInt(&ok, 16) : 0;
    // toUInt accepts a "0x" prefix and a sign; the file holds bare digits only.
    for (const QChar c : digits)
        ok = ok && ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'));
    if (!ok)
        throw EConvertError(QStringLiteral("'$%1' is not a valid integer value").arg(AValue));
    return static_cast<std::int32_t>(value);
}

} // namespace pxh
