// The entries of one language file (".lng"): reading, the key rule and the value escapes.
#pragma once

#include "base/exception.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

namespace pxh {

// A file that cannot be read, or is too large to be a language file.
PXH_DECLARE_EXCEPTION(ELanguageFile, EPixhoard);
// A "LocaleID" value that is not a hexadecimal number.
PXH_DECLARE_EXCEPTION(EConvertError, EPixhoard);

// The name=value entries of a language file; names are matched without regard to ASCII case and the
// first occurrence of a name wins.
class TLanguageTexts {
public:
    // Bytes of a whole file: an optional UTF-8 byte-order mark, lines ended by CR LF, LF or CR.
    static TLanguageTexts Parse(const QByteArray& AContent);
    // Raises ELanguageFile when the file cannot be read or exceeds MaxFileSize.
    static TLanguageTexts Read(const QString& AFileName);

    // Anything larger is refused: a language file holds a few hundred short lines, and the limit keeps
    // a stray device or huge file in the folder from exhausting memory.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    std::optional<QString> Value(const QString& AName) const;
    bool Contains(const QString& AName) const { return FEntries.contains(FoldName(AName)); }
    qsizetype Count() const { return FEntries.size(); }
    // The names in upper case, for checks over whole files.
    QList<QString> Names() const { return FEntries.keys(); }

    static QString FoldName(const QString& AName);

private:
    QHash<QString, QString> FEntries;
};

// The key of a text identifier: four upper-case hexadecimal digits (81 -> "0051", 266 -> "010A").
QString TextKey(int ATextID);

// A stored value as a text: every "_" stands for a blank.
QString UnescapeBlanks(const QString& AValue);
// "#$D" stands for a line break, CR LF.
QString ExpandLineBreaks(const QString& AValue);

// A "LocaleID" value read as a hexadecimal number; raises EConvertError when it is not one.
std::int32_t ParseLocaleID(const QString& AValue);

} // namespace pxh
