// Reading language files: line ends, names, escapes and damaged content.
#include "base/language_file.h"

#include <gtest/gtest.h>
#include <random>

namespace pxh {
namespace {

struct ParseCase {
    const char* Title;
    QByteArray Content;
    QString Name;
    std::optional<QString> Expected;
};

// Keeps failure output short: some cases hold megabytes.
void PrintTo(const ParseCase& ACase, std::ostream* AOut) {
    *AOut << ACase.Title;
}

class LanguageFileParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(LanguageFileParse, FindsTheEntry) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(TLanguageTexts::Parse(c.Content).Value(c.Name), c.Expected);
}

const QByteArray HugeLine = QByteArray(4 * 1024 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageFileParse,
    ::testing::Values(ParseCase{"BomAndCrLf", "\xEF\xBB\xBFLocaleID=0409\r\n0001=One\r\n", "LocaleID",
                                "0409"},
                      ParseCase{"LfOnly", "Title\n0001=One\n0002=Two\n", "0002", "Two"},
                      ParseCase{"CrOnly", "Title\r0001=One\r0002=Two", "0002", "Two"},
                      ParseCase{"LowerCaseKey", "010a=x\r\n", TextKey(266), "x"},
                      ParseCase{"FirstOccurrenceWins", "0001=first\r\nname=a\r\n0001=second\r\nNAME=b\r\n",
                                "0001", "first"},
                      ParseCase{"NameWithoutRegardToCase", "NaMe=English\r\n", "name", "English"},
                      ParseCase{"ValueKeepsBlanksAndLaterEquals", "0001= a = b \r\n", "0001", " a = b "},
                      ParseCase{"NameKeepsBlanks", "0001 =x\r\n", "0001", std::nullopt},
                      ParseCase{"LineWithoutSeparator", "0001 One\r\n", "0001", std::nullopt},
                      ParseCase{"EmptyName", "=x\r\n", "", "x"},
                      ParseCase{"EmptyFile", "", "0001", std::nullopt},
                      ParseCase{"BomOnly", "\xEF\xBB\xBF", "0001", std::nullopt},
                      ParseCase{"LastLineWithoutEnd", "0001=One", "0001", "One"},
                      ParseCase{"BlankLinesBetweenGroups", "0001=One\r\n\r\n\n\r0002=Two\r\n", "0002", "Two"},
                      ParseCase{"InvalidUtf8IsReplaced",
                                "0001=a\xFF\xFE"
                                "b\r\n",
                                "0001",
                                QString("a\uFFFD\uFFFD"
                                        "b")},
                      ParseCase{"InvalidUtf8DoesNotHideLaterLines", "0001=\xC3\r\n0002=ok\r\n", "0002", "ok"},
                      ParseCase{"NulBytes", QByteArray("0001=a\0b\r\n0002=c", 16), "0002", "c"},
                      ParseCase{"HugeLineBeforeEntry", HugeLine + "\r\n0001=One\r\n", "0001", "One"},
                      ParseCase{"HugeValue", "0001=" + HugeLine, "0001", QString::fromLatin1(HugeLine)}),
    [](const auto& info) { return std::string(info.param.Title); });

TEST(LanguageFile, RandomBytesNeverCrash) {
    std::mt19937 random(20261211);
    const QByteArray alphabet = QByteArray("=\r\n_#$D0aF\xEF\xBB\xBF\xC3\xFF\0", 16);
    for (int round = 0; round < 300; ++round) {
        QByteArray content;
        const int length = static_cast<int>(random() % 2000);
        for (int i = 0; i < length; ++i)
            content += (random() % 2) ? alphabet[static_cast<int>(random() % alphabet.size())]
                                      : static_cast<char>(random() % 256);
        const TLanguageTexts texts = TLanguageTexts::Parse(content);
        for (const QString& name : texts.Names())
            EXPECT_TRUE(texts.Value(name).has_value());
    }
}

TEST(LanguageFile, KeysAndEscapes) {
    EXPECT_EQ(TextKey(81), "0051");
    EXPECT_EQ(TextKey(266), "010A");
    EXPECT_EQ(TextKey(1312), "0520");
    EXPECT_EQ(UnescapeBlanks(" a_b#$Dc"), " a b#$Dc");
    EXPECT_EQ(ExpandLineBreaks(UnescapeBlanks(" a_b#$Dc")), " a b\r\nc");
    EXPECT_EQ(ExpandLineBreaks("#$D#$D"), "\r\n\r\n");
}

TEST(LanguageFile, LocaleIdentifiers) {
    EXPECT_EQ(ParseLocaleID("0409"), 1033);
    EXPECT_EQ(ParseLocaleID("040c"), 1036);
    EXPECT_EQ(ParseLocaleID(" 0419 "), 1049);
    EXPECT_EQ(ParseLocaleID("FFFFFFFF"), -1);
    for (const char* bad : {"", "zz", "0x409", "-409", "+409", "04 09", "123456789", "$0409"})
        EXPECT_THROW(ParseLocaleID(bad), EConvertError) << bad;
}

} // namespace
} // namespace pxh
