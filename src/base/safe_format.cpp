// The checked printf-style formatter: a pattern parser and one renderer per conversion.
#include "base/safe_format.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

namespace pxh {

namespace {

// Widths and precisions above this are refused: a language file must not make us allocate gigabytes.
constexpr int MaxWidth = 512;

enum TArgClass : std::uint8_t { acText = 1, acInteger = 2, acFloat = 4 };

struct TSpec {
    std::size_t Index = 0;
    bool LeftAlign = false;
    bool ZeroPad = false;
    int Width = -1;
    int Precision = -1;
    char16_t Conversion = 0;
};

// A literal run of the pattern, or a conversion.
struct TPiece {
    QStringView Literal;
    std::optional<TSpec> Spec;
};

TArgClass ClassOf(char16_t AConversion) {
    switch (AConversion) {
    case u's':
        return acText;
    case u'f':
    case u'g':
    case u'e':
        return acFloat;
    default:
        return acInteger;
    }
}

bool IsConversion(QChar c) {
    return QStringView(u"sdiuxXfge").contains(c);
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads a run of digits; false when the value is out of range.
bool ReadNumber(QStringView p, qsizetype& pos, int& AValue) {
    AValue = 0;
    while (pos < p.size() && IsDigit(p[pos])) {
        AValue = AValue * 10 + (p[pos].unicode() - u'0');
        if (AValue > MaxWidth)
            return false;
        ++pos;
    }
    return true;
}

// Splits a pattern into literals and conversions, with each conversion's argument index resolved;
// an indexed conversion "%n:" moves the implicit index to n + 1.
std::optional<std::vector<TPiece>> Parse(QStringView p) {
    std::vector<TPiece> pieces;
    std::size_t nextIndex = 0;
    qsizetype literalStart = 0;
    qsizetype pos = 0;
    while (pos < p.size()) {
        if (p[pos] != u'%') {
            ++pos;
            continue;
        }
        if (pos > literalStart)
            pieces.push_back({p.mid(literalStart, pos - literalStart), std::nullopt});
        ++pos;
        if (pos < p.size() && p[pos] == u'%') {
            pieces.push_back({p.mid(pos, 1), std::nullopt});
            literalStart = ++pos;
            continue;
        }
        TSpec spec;
        qsizetype digitsEnd = pos;
        while (digitsEnd < p.size() && IsDigit(p[digitsEnd]))
            ++digitsEnd;
        if (digitsEnd > pos && digitsEnd < p.size() && p[digitsEnd] == u':') {
            int index = 0;
            if (!ReadNumber(p, pos, index))
                return std::nullopt;
            nextIndex = static_cast<std::size_t>(index);
            ++pos;
        }
        spec.Index = nextIndex++;
        for (; pos < p.size() && (p[pos] == u'-' || p[pos] == u'0'); ++pos)
            (p[pos] == u'-' ? spec.LeftAlign : spec.ZeroPad) = true;
        if (pos < p.size() && IsDigit(p[pos]) && !ReadNumber(p, pos, spec.Width))
            return std::nullopt;
        if (pos < p.size() && p[pos] == u'.') {
            ++pos;
            if (!ReadNumber(p, pos, spec.Precision))
                return std::nullopt;
        }
        if (pos >= p.size() || !IsConversion(p[pos]))
            return std::nullopt;
        spec.Conversion = p[pos].unicode();
        pieces.push_back({{}, spec});
        literalStart = ++pos;
    }
    if (pos > literalStart)
        pieces.push_back({p.mid(literalStart, pos - literalStart), std::nullopt});
    return pieces;
}

QString Digits(std::uint64_t AValue, int ABase, bool AUpper) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, AValue, ABase);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    return AUpper ? text.toUpper() : text;
}

QString FloatText(double AValue, std::chars_format AFormat, int APrecision) {
    // 309 integer digits of the largest double, the sign, the point and the precision fit.
    char buffer[400 + MaxWidth];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, AValue, AFormat, APrecision);
    if (result.ec != std::errc())
        return {};
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString ShortestFloatText(double AValue) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, AValue);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// Pads to the width; zeros go between the sign and the digits.
QString Pad(QString AText, const TSpec& ASpec, bool AZeroAllowed) {
    const qsizetype missing = ASpec.Width - AText.size();
    if (missing <= 0)
        return AText;
    if (ASpec.LeftAlign)
        return AText + QString(missing, u' ');
    if (ASpec.ZeroPad && AZeroAllowed) {
        const qsizetype signLength = AText.startsWith(u'-') ? 1 : 0;
        return AText.insert(signLength, QString(missing, u'0'));
    }
    return QString(missing, u' ') + AText;
}

std::optional<QString> Integer(const TSpec& ASpec, bool ANegative, std::uint64_t AMagnitude) {
    const bool isSigned = ASpec.Conversion == u'd' || ASpec.Conversion == u'i';
    // A negative value has no unsigned or hexadecimal form that would not be a lie.
    if (ANegative && !isSigned)
        return std::nullopt;
    const bool hex = ASpec.Conversion == u'x' || ASpec.Conversion == u'X';
    QString digits = Digits(AMagnitude, hex ? 16 : 10, ASpec.Conversion == u'X');
    if (ASpec.Precision > digits.size())
        digits.prepend(QString(ASpec.Precision - digits.size(), u'0'));
    if (ANegative)
        digits.prepend(u'-');
    return Pad(digits, ASpec, ASpec.Precision < 0);
}

std::optional<QString> Float(const TSpec& ASpec, double AValue) {
    const int precision = ASpec.Precision < 0 ? 6 : ASpec.Precision;
    const std::chars_format format = ASpec.Conversion == u'f'   ? std::chars_format::fixed
                                     : ASpec.Conversion == u'e' ? std::chars_format::scientific
                                                                : std::chars_format::general;
    QString text = FloatText(AValue, format, precision);
    if (text.isEmpty())
        return std::nullopt;
    return Pad(text, ASpec, std::isfinite(AValue));
}

std::optional<QString> Text(const TSpec& ASpec, QString AText) {
    if (ASpec.Precision >= 0 && ASpec.Precision < AText.size()) {
        qsizetype cut = ASpec.Precision;
        if (cut > 0 && AText[cut - 1].isHighSurrogate())
            --cut;
        AText.truncate(cut);
    }
    return Pad(AText, ASpec, false);
}

// Renders one conversion; nullopt when the argument's kind does not fit it.
std::optional<QString> Render(const TSpec& ASpec, const TFormatArg& AArg) {
    const TArgClass wanted = ClassOf(ASpec.Conversion);
    return std::visit(
        [&](const auto& value) -> std::optional<QString> {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, QString>) {
                if (wanted != acText)
                    return std::nullopt;
                return Text(ASpec, value);
            } else if constexpr (std::is_same_v<T, double>) {
                if (wanted == acInteger)
                    return std::nullopt;
                return wanted == acText ? Text(ASpec, ShortestFloatText(value)) : Float(ASpec, value);
            } else {
                const bool negative = value < 0;
                const std::uint64_t magnitude =
                    negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : std::uint64_t(value);
                if (wanted == acFloat)
                    return Float(ASpec, static_cast<double>(value));
                if (wanted == acText)
                    return Text(ASpec,
                                (negative ? QStringLiteral("-") : QString()) + Digits(magnitude, 10, false));
                return Integer(ASpec, negative, magnitude);
            }
        },
        AArg.value());
}

// The classes each argument index is used with; nullopt for a malformed pattern.
std::optional<std::vector<std::uint8_t>> ArgumentClasses(QStringView APattern) {
    const auto pieces = Parse(APattern);
    if (!pieces)
        return std::nullopt;
    std::vector<std::uint8_t> classes;
    for (const TPiece& piece : *pieces) {
        if (!piece.Spec)
            continue;
        if (piece.Spec->Index >= classes.size())
            classes.resize(piece.Spec->Index + 1, 0);
        classes[piece.Spec->Index] |= ClassOf(piece.Spec->Conversion);
    }
    return classes;
}

} // namespace

std::optional<QString> SafeFormat(QStringView pattern, std::span<const TFormatArg> args) {
    const auto pieces = Parse(pattern);
    if (!pieces)
        return std::nullopt;
    std::vector<bool> used(args.size(), false);
    QString result;
    result.reserve(pattern.size());
    for (const TPiece& piece : *pieces) {
        if (!piece.Spec) {
            result += piece.Literal;
            continue;
        }
        if (piece.Spec->Index >= args.size())
            return std::nullopt;
        const auto text = Render(*piece.Spec, args[piece.Spec->Index]);
        if (!text)
            return std::nullopt;
        used[piece.Spec->Index] = true;
        result += *text;
    }
    for (bool wasUsed : used)
        if (!wasUsed)
            return std::nullopt;
    return result;
}

bool SameFormatArguments(QStringView a, QStringView b) {
    const auto classesA = ArgumentClasses(a);
    const auto classesB = ArgumentClasses(b);
    return classesA && classesB && *classesA == *classesB;
}

} // namespace pxh
