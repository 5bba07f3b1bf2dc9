// Versions, sizes, free space, the date-time and URL texts, hot-key texts and key state on Linux.
#include "base/system_utils.h"

#include "base/language_file.h"
#include "base/localizer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#ifndef PIXHOARD_VERSION
#define PIXHOARD_VERSION "0.0.0.0"
#endif

namespace pxh {

// ---- Executable and version

// Without an application object (tools, tests) the kernel's link to the executable answers.
QString AppPath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString AppFolder() {
    return IncludeTrailingChar(QFileInfo(AppPath()).absolutePath());
}

TVersion GetFileVersion(const QString& APath) {
    const QString Own = AppPath();
    if (!Own.isEmpty() && QFileInfo(APath).canonicalFilePath() == QFileInfo(Own).canonicalFilePath())
        return AppVersion();
    return {};
}

TVersion AppVersion() {
    return TextToVersion(QStringLiteral(PIXHOARD_VERSION));
}

QString VersionToText(const TVersion& AVersion, int AParts) {
    switch (AParts) {
    case 1:
        return QString::number(AVersion.Major);
    case 2:
        return QStringLiteral("%1.%2").arg(AVersion.Major).arg(AVersion.Minor);
    case 3:
        return QStringLiteral("%1.%2.%3").arg(AVersion.Major).arg(AVersion.Minor).arg(AVersion.Release);
    default:
        return QStringLiteral("%1.%2.%3.%4")
            .arg(AVersion.Major)
            .arg(AVersion.Minor)
            .arg(AVersion.Release)
            .arg(AVersion.Build);
    }
}

TVersion TextToVersion(const QString& AText) {
    QStringView Rest = QStringView(AText).trimmed();
    while (!Rest.isEmpty() && !(Rest[0] >= QLatin1Char('0') && Rest[0] <= QLatin1Char('9')))
        Rest = Rest.mid(1);
    std::uint16_t Parts[4] = {};
    for (std::uint16_t& Part : Parts) {
        if (Rest.isEmpty())
            break;
        const qsizetype Dot = Rest.indexOf(QLatin1Char('.'));
        const QStringView Text = Dot < 0 ? Rest : Rest.left(Dot);
        Rest = Dot < 0 ? QStringView() : Rest.mid(Dot + 1);
        bool Digits = !Text.isEmpty() && Text.size() <= 5;
        for (const QChar C : Text)
            Digits = Digits && C >= QLatin1Char('0') && C <= QLatin1Char('9');
        const uint Value = Digits ? Text.toUInt() : 0;
        Part = Value <= 65535 ? static_cast<std::uint16_t>(Value) : 0;
    }
    return {Parts[0], Parts[1], Parts[2], Parts[3]};
}

bool VersionAtLeast(const TVersion& AVersion, int AMajor, int AMinor, int ARelease, int ABuild) {
    const auto Given = std::array<int, 4>{AMajor, AMinor, ARelease, ABuild};
    const auto Own = std::array<int, 4>{AVersion.Major, AVersion.Minor, AVersion.Release, AVersion.Build};
    return Own >= Given;
}

// ---- Files and disks

qint64 GetFileSize(const QString& APath) {
    struct stat Info {};
    if (APath.isEmpty() || ::stat(QFile::encodeName(APath).constData(), &Info) != 0 || !S_ISREG(Info.st_mode))
        return -1;
    return static_cast<qint64>(Info.st_size);
}

qint64 GetFolderSize(const QString& AFolder) {
    namespace fs = std::filesystem;
    std::error_code Error;
    qint64 Total = 0;
    fs::recursive_directory_iterator It(fs::path(QFile::encodeName(AFolder).toStdString()),
                                        fs::directory_options::skip_permission_denied, Error);
    for (const fs::recursive_directory_iterator End; !Error && It != End; It.increment(Error)) {
        std::error_code EntryError;
        if (It->is_symlink(EntryError) && It->is_directory(EntryError))
            continue;
        if (It->is_regular_file(EntryError))
            Total += std::max<qint64>(0, GetFileSize(QFile::decodeName(It->path().c_str())));
    }
    return Total;
}

TSizeTexts LocalizedSizeTexts() {
    TSizeTexts Texts;
    const auto Take = [](QString& ATarget, int AId) {
        const QString Text = LocalizedText(AId);
        if (!Text.isEmpty())
            ATarget = Text;
    };
    Take(Texts.Bytes, 66);
    Take(Texts.KiloBytes, 67);
    Take(Texts.MegaBytes, 68);
    Take(Texts.GigaBytes, 69);
    return Texts;
}

QString SizeToText(qint64 ABytes) {
    return SizeToText(ABytes, LocalizedSizeTexts());
}

QString SizeToText(qint64 ABytes, const TSizeTexts& ATexts, const QLocale& ALocale) {
    const auto Scaled = [&](double AUnit, const QString& APattern) {
        return FormatNumberPattern(static_cast<double>(ABytes) / AUnit, APattern, ALocale);
    };
    if (ABytes <= 0)
        return QStringLiteral("-");
    if (ABytes < 1000)
        return QString::number(ABytes) + ATexts.Bytes;
    if (ABytes <= 1023999)
        return Scaled(1024.0, ATexts.KiloBytes);
    if (ABytes > 1073741823)
        return Scaled(1073741824.0, ATexts.GigaBytes);
    return Scaled(1048576.0, ATexts.MegaBytes);
}

QString FileSizeText(const QString& APath) {
    return SizeToText(GetFileSize(APath));
}
QString FolderSizeText(const QString& AFolder) {
    return SizeToText(GetFolderSize(AFolder));
}

QString FormatNumberPattern(double AValue, const QString& APattern, const QLocale& ALocale) {
    // Split into literal text and the digit region between the first and the last placeholder.
    QString Prefix, Suffix;
    int IntZeros = 0, DecZeros = 0, DecHashes = 0;
    bool Grouping = false, InDecimals = false, SeenDigit = false;
    QChar Quote;
    qsizetype Last = -1;
    for (qsizetype I = 0; I < APattern.size(); ++I)
        if (APattern[I] == QLatin1Char('0') || APattern[I] == QLatin1Char('#'))
            Last = I;
    for (qsizetype I = 0; I < APattern.size(); ++I) {
        const QChar C = APattern[I];
        if (!Quote.isNull()) {
            if (C == Quote)
                Quote = QChar();
            else
                (SeenDigit ? Suffix : Prefix) += C;
            continue;
        }
        if (C == QLatin1Char('"') || C == QLatin1Char('\'')) {
            Quote = C;
            continue;
        }
        if (C == QLatin1Char(';'))
            break;
        const bool InRegion = SeenDigit ? I <= Last : (C == QLatin1Char('0') || C == QLatin1Char('#'));
        if (!InRegion || Last < 0) {
            (SeenDigit ? Suffix : Prefix) += C;
            continue;
        }
        SeenDigit = true;
        if (C == QLatin1Char('.'))
            InDecimals = true;
        else if (C == QLatin1Char(','))
            Grouping = Grouping || !InDecimals;
        else if (C == QLatin1Char('0'))
            (InDecimals ? DecZeros : IntZeros) += 1;
        else if (C == QLatin1Char('#') && InDecimals)
            DecHashes += 1;
    }
    if (!SeenDigit) {
        DecZeros = 2;
        IntZeros = 1;
        Suffix = Prefix;
        Prefix.clear();
    }

    QString Digits = QString::number(std::fabs(AValue), 'f', DecZeros + DecHashes);
    QString IntPart = Digits.section(QLatin1Char('.'), 0, 0);
    QString Decimals = Digits.section(QLatin1Char('.'), 1);
    while (Decimals.size() > DecZeros && Decimals.endsWith(QLatin1Char('0')))
        Decimals.chop(1);
    if (IntPart == QLatin1String("0") && IntZeros == 0)
        IntPart.clear();
    while (IntPart.size() < IntZeros)
        IntPart.prepend(QLatin1Char('0'));
    if (Grouping)
        for (qsizetype At = IntPart.size() - 3; At > 0; At -= 3)
            IntPart.insert(At, ALocale.groupSeparator());
    QString Number = IntPart;
    if (!Decimals.isEmpty())
        Number += ALocale.decimalPoint() + Decimals;
    const bool AllZero = std::all_of(Digits.cbegin(), Digits.cend(),
                                     [](QChar C) { return C == QLatin1Char('0') || C == QLatin1Char('.'); });
    if (AValue < 0 && !AllZero)
        Number.prepend(QLatin1Char('-'));
    return Prefix + Number + Suffix;
}

std::optional<qint64> FreeSpace(const QString& APath) {
    if (APath.isEmpty())
        return std::nullopt;
    QFileInfo Info(QDir::cleanPath(QFileInfo(APath).absoluteFilePath()));
    while (!Info.exists()) {
        const QString Parent = Info.absolutePath();
        if (Parent == Info.absoluteFilePath())
            return std::nullopt;
        Info = QFileInfo(Parent);
    }
    struct statvfs Stat {};
    if (::statvfs(QFile::encodeName(Info.absoluteFilePath()).constData(), &Stat) != 0)
        return std::nullopt;
    return static_cast<qint64>(Stat.f_bavail) * static_cast<qint64>(Stat.f_frsize);
}

bool HasFreeSpaceFor(const QString& APath, qint64 ABytes) {
    const auto Free = FreeSpace(APath);
    return Free && *Free > ABytes;
}

bool HasFreeSpace(const QString& APath) {
    return HasFreeSpaceFor(APath, FreeSpaceLimit);
}

// ---- Texts

const QDateTime& DateTimeZero() {
    static const QDateTime Zero(QDate(1899, 12, 30), QTime(0, 0));
    return Zero;
}

namespace {

struct TCodeDeleter {
    void operator()(pcre2_code* ACode) const { pcre2_code_free(ACode); }
};
struct TMatchDeleter {
    void operator()(pcre2_match_data* AData) const { pcre2_match_data_free(AData); }
};

// Compiled once; a compiled pattern may be shared by threads, match data is per call.
const pcre2_code* DateTimePattern() {
    static const std::unique_ptr<pcre2_code, TCodeDeleter> Code([] {
        static const char16_t Pattern[] = u"(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2})";
        int Error = 0;
        PCRE2_SIZE Offset = 0;
        return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(Pattern), PCRE2_ZERO_TERMINATED, 0, &Error, &Offset,
                             nullptr);
    }());
    return Code.get();
}

} // namespace

QString DateTimeToXMLText(const QDateTime& AValue) {
    return (AValue.isValid() ? AValue : DateTimeZero()).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QDateTime XMLTextToDateTime(const QString& AText) {
    if (AText.isEmpty())
        return {};
    std::unique_ptr<pcre2_match_data, TMatchDeleter> Match(
        pcre2_match_data_create_from_pattern(DateTimePattern(), nullptr));
    const int Count = pcre2_match(DateTimePattern(), reinterpret_cast<PCRE2_SPTR>(AText.utf16()),
                                  static_cast<PCRE2_SIZE>(AText.size()), 0, 0, Match.get(), nullptr);
    if (Count < 6)
        throw EConvertError(QStringLiteral("\"%1\" is not valid XML-DateTime string").arg(AText));
    const PCRE2_SIZE* Offsets = pcre2_get_ovector_pointer(Match.get());
    const auto Group = [&](int AIndex) {
        const auto Start = static_cast<qsizetype>(Offsets[2 * AIndex]);
        return QStringView(AText).mid(Start, static_cast<qsizetype>(Offsets[2 * AIndex + 1]) - Start).toInt();
    };
    const QDate Date(Group(1), Group(2), Group(3));
    const QTime Time(Group(4), Group(5));
    if (!Date.isValid() || !Time.isValid())
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    const QDateTime Value(Date, Time);
    return Value == DateTimeZero() ? QDateTime() : Value;
}

QString EncodeURLPath(const QString& AText) {
    QString Text = AText;
    Text.replace(QLatin1Char('/'), QLatin1String("%2F"));
    Text.replace(QLatin1Char(':'), QLatin1String("%3A"));
    return Text;
}

QString URLEncode(const QString& AText) {
    return QString::fromLatin1(QUrl::toPercentEncoding(AText));
}

QString IncludeTrailingChar(const QString& AText, std::optional<QChar> AChar) {
    const QChar Char = AChar.value_or(QLatin1Char('/'));
    QString Text = AText.trimmed();
    if (!Text.endsWith(Char))
        Text += Char;
    return Text;
}

QString HotKeyToText(int AValue) {
    const int Modifiers = (AValue >> 8) & 0xFF;
    const int Key = AValue & 0xFF;
    QString Text;
    if (Modifiers & 2)
        Text += QStringLiteral("Ctrl + ");
    if (Modifiers & 1)
        Text += QStringLiteral("Alt + ");
    if (Modifiers & 4)
        Text += QStringLiteral("Shift + ");
    if (Modifiers & 8)
        Text += QStringLiteral("Win + ");
    if (Key >= 0x70 && Key <= 0x87)
        Text += QStringLiteral("F%1").arg(Key - 0x6F);
    else if (Key == 0x0D)
        Text += QStringLiteral("ENTER");
    else if (Key == 0x2C)
        Text += QStringLiteral("PrtScr");
    else if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z'))
        Text += QChar(Key);
    else if (Key == 0xC0)
        Text += QLatin1Char('~');
    else if (Key == 0xDF)
        Text += QChar(0x00A7);
    return Text;
}

// ---- System

namespace {
bool ModifierDown(Qt::KeyboardModifier AModifier) {
    return qGuiApp && QGuiApplication::keyboardModifiers().testFlag(AModifier);
}
} // namespace

bool IsCtrlDown() {
    return ModifierDown(Qt::ControlModifier);
}
bool IsShiftDown() {
    return ModifierDown(Qt::ShiftModifier);
}
bool IsAltDown() {
    return ModifierDown(Qt::AltModifier);
}
bool IsWinDown() {
    return ModifierDown(Qt::MetaModifier);
}

double GetPointScale(const QPoint& APoint) {
    if (!qGuiApp)
        return 1.0;
    QScreen* Screen = QGuiApplication::screenAt(APoint);
    if (!Screen)
        Screen = QGuiApplication::primaryScreen();
    return Screen ? Screen->devicePixelRatio() : 1.0;
}

QString GetWindowsName() {
    return QSysInfo::prettyProductName();
}

} // namespace pxh
