// Printf-style formatting checked against its arguments, shared by the logger and the localizer.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

namespace pxh {

// One argument of a format call; integers, floating point and text are told apart so that a
// pattern whose conversions disagree with the arguments is refused instead of misformatted.
class TFormatArg {
public:
    TFormatArg(int v)
        : FValue(std::int64_t{v}) {}
    TFormatArg(long v)
        : FValue(std::int64_t{v}) {}
    TFormatArg(long long v)
        : FValue(std::int64_t{v}) {}
    TFormatArg(unsigned v)
        : FValue(std::uint64_t{v}) {}
    TFormatArg(unsigned long v)
        : FValue(std::uint64_t{v}) {}
    TFormatArg(unsigned long long v)
        : FValue(std::uint64_t{v}) {}
    TFormatArg(double v)
        : FValue(v) {}
    TFormatArg(const QString& v)
        : FValue(v) {}
    TFormatArg(const char* v)
        : FValue(QString::fromUtf8(v)) {}

    using Value = std::variant<std::int64_t, std::uint64_t, double, QString>;
    const Value& value() const { return FValue; }

private:
    Value FValue;
};

// Supports %s %d %i %u %x %X %f %g %e %% with flags "-" and "0", a width and a precision (at most 512),
// and the "%n:s" index form (0-based; a following plain conversion takes argument n + 1).
// Kinds: %d %i %u %x %X take integers only (%u %x %X no negative ones); %f %g %e take floating point
// or integers; %s takes text, and numbers too (integers in decimal, floating point in its shortest
// exact form), so that a log line never fails over a number. Returns nullopt when the pattern is
// malformed, an argument is missing or never used, or a conversion does not fit its argument.
std::optional<QString> SafeFormat(QStringView pattern, std::span<const TFormatArg> args);

// Whether two patterns take the same arguments, e.g. a translation and its original: the same number,
// and each argument under the same conversion kinds (text, integer, floating point). A malformed
// pattern matches nothing.
bool SameFormatArguments(QStringView a, QStringView b);

} // namespace pxh
