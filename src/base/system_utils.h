// Small stateless system services: versions, file sizes and their texts, free space, and text forms.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QPoint>
#include <QString>
#include <compare>
#include <cstdint>
#include <optional>

namespace pxh {

// ---- Executable and version

struct TVersion {
    std::uint16_t Major = 0;
    std::uint16_t Minor = 0;
    std::uint16_t Release = 0;
    std::uint16_t Build = 0;
    auto operator<=>(const TVersion&) const = default;
};

QString AppPath();
// The executable's folder with a trailing "/".
QString AppFolder();
// The version compiled into the program for its own executable; 0.0.0.0 for any other file.
TVersion GetFileVersion(const QString& APath);
TVersion AppVersion();

// AParts 1 to 3 give that many numbers; any other value all four.
QString VersionToText(const TVersion& AVersion, int AParts);
// Leading text up to the first digit is skipped; each part is an unsigned decimal 0..65535, and
// anything else (a sign, junk, a value beyond 16 bits, a missing part) counts as 0.
TVersion TextToVersion(const QString& AText);
bool VersionAtLeast(const TVersion& AVersion, int AMajor, int AMinor, int ARelease, int ABuild);

// ---- Files and disks

// Bytes of a file (a link counts as its target); -1 for a folder, a missing path or a failure.
qint64 GetFileSize(const QString& APath);
// Sum over the files of the tree. Links to folders are not followed, so the walk always ends;
// entries that cannot be read count 0.
qint64 GetFolderSize(const QString& AFolder);

// The patterns of texts 66 to 69: a unit suffix for bytes and three number patterns.
struct TSizeTexts {
    QString Bytes = QStringLiteral(" b");
    QString KiloBytes = QStringLiteral("0.00 kb");
    QString MegaBytes = QStringLiteral("0.00 Mb");
    QString GigaBytes = QStringLiteral("0.00 Gb");
};
// The current language's patterns (English for any that is missing).
TSizeTexts LocalizedSizeTexts();
// "-" for 0 or less; numbers in ALocale (the user's locale by default).
QString SizeToText(qint64 ABytes);
QString SizeToText(qint64 ABytes, const TSizeTexts& ATexts, const QLocale& ALocale = QLocale());
QString FileSizeText(const QString& APath);
QString FolderSizeText(const QString& AFolder);

// A number pattern of language files: "0" digit, "#" optional digit, "." decimal point and ","
// grouping (both in ALocale's form), quoted or plain literals, ";" starting the (ignored) negative
// section. Never fails: a pattern without digits gives two decimals followed by its text.
QString FormatNumberPattern(double AValue, const QString& APattern, const QLocale& ALocale = QLocale());

// The default free-space margin, 1 GiB.
inline constexpr qint64 FreeSpaceLimit = 1073741824;
// Bytes available to the user on the file system of APath (or its nearest existing parent folder).
std::optional<qint64> FreeSpace(const QString& APath);
// More than ABytes free; false when it cannot be measured.
bool HasFreeSpaceFor(const QString& APath, qint64 ABytes);
bool HasFreeSpace(const QString& APath);

// ---- Texts

// The zero date-time, 1899-12-30 00:00 local time: stored texts of that instant read back as the
// null QDateTime, which stands for "none" everywhere.
const QDateTime& DateTimeZero();

// "yyyy-MM-dd HH:mm" in digits and "-"/":" whatever the locale; the zero (null) date-time gives
// "1899-12-30 00:00".
QString DateTimeToXMLText(const QDateTime& AValue);
// An empty text (and "1899-12-30 00:00") gives the null date-time; otherwise the first
// "dddd-dd-dd dd:dd" in the text. Raises EConvertError when there is none or the date is impossible.
QDateTime XMLTextToDateTime(const QString& AText);

// Only "/" and ":" are escaped.
QString EncodeURLPath(const QString& AText);
// Full percent-encoding of the UTF-8 bytes for a query value or path segment: only the unreserved
// characters A-Z a-z 0-9 - . _ ~ stay.
QString URLEncode(const QString& AText);

// The trimmed text ending with AChar (default: the path delimiter "/"), added when missing.
QString IncludeTrailingChar(const QString& AText, std::optional<QChar> AChar = std::nullopt);

// Display text of a hot-key value (modifiers << 8 | virtual-key code; 1 Alt, 2 Ctrl, 4 Shift, 8 Win),
// e.g. "Ctrl + Shift + F5"; empty for 0.
QString HotKeyToText(int AValue);

// ---- System

// The modifier keys as of the event being handled.
bool IsCtrlDown();
bool IsShiftDown();
bool IsAltDown();
bool IsWinDown();
// Device pixel ratio of the screen at APoint (or the primary screen); 1 when there is none.
double GetPointScale(const QPoint& APoint);

// Linux takes the branches the program takes on current Windows releases.
constexpr bool IsWindows10OrLater() {
    return true;
}
constexpr bool IsWindows8OrLater() {
    return true;
}
constexpr bool IsBeforeWindows8() {
    return false;
}
QString GetWindowsName();

} // namespace pxh
