// Tests of the checked formatter: what each conversion renders and which patterns are refused.
#include "base/safe_format.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace pxh {
namespace {

struct TFormatCase {
    const char* Pattern;
    std::vector<TFormatArg> Args;
    std::optional<QString> Expected;
};

std::ostream& operator<<(std::ostream& AOut, const TFormatCase& ACase) {
    return AOut << '"' << ACase.Pattern << '"';
}

class SafeFormatTest : public testing::TestWithParam<TFormatCase> {};

TEST_P(SafeFormatTest, RendersOrRefuses) {
    const TFormatCase& c = GetParam();
    EXPECT_EQ(SafeFormat(QString::fromUtf8(c.Pattern), c.Args), c.Expected);
}

const std::optional<QString> Refused;

INSTANTIATE_TEST_SUITE_P(
    Renders, SafeFormatTest,
    testing::Values(
        TFormatCase{"plain 100%% sure", {}, "plain 100% sure"}, TFormatCase{"%s of %s", {"3", "7"}, "3 of 7"},
        TFormatCase{"[%6s|%-6s|%.2s]", {"abc", "abc", "abc"}, "[   abc|abc   |ab]"},
        // Width counts characters, not bytes; precision never splits a surrogate pair.
        TFormatCase{"[%3s|%.1s]", {"é", "😀x"}, "[  é|]"}, TFormatCase{"%d %i %u", {-7, 42L, 7U}, "-7 42 7"},
        TFormatCase{"[%5d|%-5d|%05d]", {42, 42, -42}, "[   42|42   |-0042]"},
        TFormatCase{"%.2d:%.10d", {5, 7}, "05:0000000007"}, TFormatCase{"%010d.bmp", {123}, "0000000123.bmp"},
        TFormatCase{"%x %X %.2X", {255, 255, 10}, "ff FF 0A"},
        TFormatCase{"%d %d",
                    {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::uint64_t>::max()},
                    "-9223372036854775808 18446744073709551615"},
        TFormatCase{"%f|%.3f|%.0f|%4.0f", {1.5, 2.0, 3.7, 12.3}, "1.500000|2.000|4|  12"},
        TFormatCase{"%g %e %08.2f", {0.0001, 12345.678, -3.14159}, "0.0001 1.234568e+04 -0003.14"},
        TFormatCase{"%.2f", {3}, "3.00"},
        // Numbers are accepted by %s, so a log line never fails over one.
        TFormatCase{"%s/%s/%s", {42, -1, 0.1}, "42/-1/0.1"}, TFormatCase{"%1:s %0:s", {"a", "b"}, "b a"},
        // A plain conversion after an indexed one takes the next argument.
        TFormatCase{"%1:s %s %0:s", {"a", "b", "c"}, "b c a"}, TFormatCase{"%0:s%0:s", {"x"}, "xx"},
        // An argument's text is never read as a pattern.
        TFormatCase{"%s", {"%d %n %s"}, "%d %n %s"}));

INSTANTIATE_TEST_SUITE_P(
    Refuses, SafeFormatTest,
    testing::Values(TFormatCase{"%d", {1.5}, Refused}, TFormatCase{"%x", {"ff"}, Refused},
                    TFormatCase{"%f", {"1.5"}, Refused},
                    // Negative values have no truthful unsigned or hexadecimal form.
                    TFormatCase{"%u", {-1}, Refused}, TFormatCase{"%x", {-1}, Refused},
                    TFormatCase{"%s %s", {"a"}, Refused}, TFormatCase{"%s", {}, Refused},
                    TFormatCase{"no placeholder", {1}, Refused}, TFormatCase{"%1:s", {"a", "b"}, Refused},
                    TFormatCase{"%2:s", {"a", "b"}, Refused}, TFormatCase{"50%", {}, Refused},
                    TFormatCase{"%n", {1}, Refused}, TFormatCase{"%p", {1}, Refused},
                    TFormatCase{"%*d", {5, 1}, Refused}, TFormatCase{"%5%", {}, Refused},
                    TFormatCase{"%S", {"a"}, Refused},
                    // A width or precision a hostile language file could use to exhaust memory.
                    TFormatCase{"%100000s", {"a"}, Refused}, TFormatCase{"%.99999999999f", {1.0}, Refused}));

struct TSameCase {
    const char* A;
    const char* B;
    bool Same;
};

TEST(SameFormatArgumentsTest, ComparesCountAndKinds) {
    const std::vector<TSameCase> cases{
        {"%s of %s", "%s из %s", true},
        {"%d min. ago", "%d мин. назад", true},
        {"%s %d", "%1:d %0:s", true},
        {"%x", "%.2d", true},
        {"100%%", "100", true},
        {"", "", true},
        {"%d", "%s", false},
        {"%f", "%d", false},
        {"%s", "%s %s", false},
        {"%s %s", "%1:s", false},
        {"%s", "%q", false},
        {"%q", "%q", false},
    };
    for (const TSameCase& c : cases) {
        EXPECT_EQ(SameFormatArguments(QString::fromUtf8(c.A), QString::fromUtf8(c.B)), c.Same)
            << c.A << " / " << c.B;
        EXPECT_EQ(SameFormatArguments(QString::fromUtf8(c.B), QString::fromUtf8(c.A)), c.Same)
            << c.B << " / " << c.A;
    }
}

} // namespace
} // namespace pxh
