// The language list scan, the localizer's language switch, the English fall-back and safe formatting.
#include "base/localizer.h"
#include "language_fixture.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <stdexcept>

namespace pxh {
namespace {

using test::TLngFolder;
using test::TLogCapture;

const QByteArray English = "English texts\r\n"
                           "LocaleID=0409\r\nLocaleIDStr=en\r\nName=English\r\n\r\n"
                           "0001=One\r\n0002=Two\r\n0003=Three_and_more\r\n"
                           "0010=Line#$Dbreak\r\n0113=%s of %s\r\n0115=%d min. ago\r\n"
                           "0116=%s/%d\r\n0117=100%% done\r\n";
const QByteArray Russian = "Russian texts\r\n"
                           "LocaleID=0419\r\nLocaleIDStr=ru\r\nName=Русский\r\n\r\n"
                           "0001=Один\r\n0002=Два\r\n";

struct ScanFile {
    QString Name;
    QByteArray Content;
};

struct ScanCase {
    const char* Title;
    std::vector<ScanFile> Files;
    std::vector<std::pair<std::int32_t, QString>> Listed; // in list order
    int LoggedExceptions;
};

class LanguageListScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(LanguageListScan, ListsTheReadableFiles) {
    const ScanCase& c = GetParam();
    TLngFolder folder;
    QDir().mkpath(folder.Path());
    for (const ScanFile& f : c.Files)
        folder.Write(f.Name, f.Content);
    TLogCapture log;

    TLanguageList list({folder.Path()});
    list.RefreshList();

    ASSERT_EQ(list.Count(), static_cast<int>(c.Listed.size()));
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(list.Item(i)->LocaleID(), c.Listed[i].first);
        EXPECT_EQ(list.Item(i)->Name(), c.Listed[i].second);
    }
    EXPECT_EQ(log.Logger().CountContaining(" TLanguageList.DoRefresh "), c.LoggedExceptions);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageListScan,
    ::testing::Values(ScanCase{"Empty", {}, {}, 0},
                      ScanCase{"EnglishAndRussian",
                               {{"eng.lng", English}, {"rus.lng", Russian}},
                               {{1033, "English"}, {1049, "Русский"}},
                               0},
                      ScanCase{"WithoutNameNotListed", {{"a.lng", "LocaleID=0409\r\n"}}, {}, 0},
                      ScanCase{"WithoutLocaleNotListed", {{"a.lng", "Name=English\r\n"}}, {}, 0},
                      ScanCase{"MalformedLocaleLoggedOthersListed",
                               {{"a.lng", "LocaleID=zz\r\nName=Bad\r\n"}, {"b.lng", English}},
                               {{1033, "English"}},
                               1},
                      ScanCase{"FirstFileOfALocaleWins",
                               {{"a.lng", "LocaleID=0409\r\nName=First\r\n"},
                                {"b.lng", "LocaleID=0409\r\nName=Second\r\n"}},
                               {{1033, "First"}},
                               0},
                      ScanCase{
                          "OtherExtensionsIgnored", {{"eng.txt", English}, {"eng.lng.bak", English}}, {}, 0},
                      ScanCase{"DamagedBytesStillListed",
                               {{"a.lng", "\xFF\xFE\r\nLocaleID=040C\r\nName=Fran\xE7"
                                          "ais\r\n"}},
                               {{1036, QString("Fran\uFFFD"
                                               "ais")}},
                               0}),
    [](const auto& info) { return std::string(info.param.Title); });

TEST(LanguageList, OversizedFileIsLoggedAndSkipped) {
    TLngFolder folder;
    folder.Write("eng.lng", English);
    QFile big(folder.Write("huge.lng", "LocaleID=0419\r\nName=Huge\r\n"));
    ASSERT_TRUE(big.resize(TLanguageTexts::MaxFileSize + 1)); // sparse: no real disk use
    TLogCapture log;

    TLanguageList list({folder.Path()});
    list.RefreshList();

    EXPECT_EQ(list.Count(), 1);
    EXPECT_FALSE(list.HasLanguage(1049));
    EXPECT_EQ(log.Logger().CountContaining(" TLanguageList.DoRefresh "), 1);
}

TEST(LanguageList, RefreshAddsOnlyNewLocalesAndEarlierFoldersWin) {
    TLngFolder first, second;
    first.Write("eng.lng", English);
    second.Write("eng.lng", "LocaleID=0409\r\nName=Installed English\r\n");
    TLanguageList list({first.Path(), second.Path()});
    list.RefreshList();
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Item(0)->FileName(), first.Path() + "/eng.lng");

    second.Write("rus.lng", Russian);
    list.RefreshList();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(0)->Name(), "English");
    EXPECT_EQ(list.Item(1)->LocaleID(), 1049);

    EXPECT_THROW(list.Item(2), std::out_of_range);
    EXPECT_THROW(list.Item(-1), std::out_of_range);
    EXPECT_EQ(list.AddItem(1049, "Other", "/x.lng"), list.Item(1));
}

TEST(LanguageList, DefaultFoldersAreBesideTheExecutable) {
    const QStringList folders = DefaultLanguageFolders();
    ASSERT_EQ(folders.size(), 2);
    EXPECT_EQ(QFileInfo(folders[0]).absolutePath(), QFileInfo(test::BinDir()).canonicalFilePath());
    EXPECT_EQ(QFileInfo(folders[0]).fileName(), "Lngs");
    EXPECT_TRUE(folders[1].endsWith("/share/pixhoard/Lngs"));
}

class LocalizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder.Write("eng.lng", English);
        FFolder.Write("rus.lng", Russian);
        FLocalizer = std::make_shared<TLocalizer>(QStringList{FFolder.Path()});
        SetGlobalLocalizer(FLocalizer);
    }
    void TearDown() override { SetGlobalLocalizer(nullptr); }

    TLngFolder FFolder;
    std::shared_ptr<TLocalizer> FLocalizer;
};

TEST_F(LocalizerTest, NoLanguageYetFallsBackToEnglish) {
    EXPECT_EQ(FLocalizer->LocaleID(), 0);
    EXPECT_EQ(FLocalizer->GetText(1), "");
    EXPECT_EQ(FLocalizer->LanguageName(), "");
    EXPECT_EQ(LocalizedText(1), "One");
}

TEST_F(LocalizerTest, CurrentLanguageWithEnglishForMissingTexts) {
    FLocalizer->SetLocaleID(cLocaleRussian);
    EXPECT_EQ(FLocalizer->LanguageName(), "Русский");
    EXPECT_EQ(LocalizedText(2), "Два");
    EXPECT_EQ(FLocalizer->GetText(3), "");
    EXPECT_EQ(LocalizedText(3), "Three and more");
    EXPECT_EQ(LocalizedText(999), "");
    EXPECT_EQ(FLocalizer->GetText(1, cLocaleEnglish), "One");
    EXPECT_EQ(FLocalizer->GetText(1, cLocaleFrench), "");
}

TEST_F(LocalizerTest, EscapesOnlyInGetText) {
    FLocalizer->SetLocaleID(cLocaleEnglish);
    EXPECT_EQ(FLocalizer->GetString(16), "Line#$Dbreak");
    EXPECT_EQ(FLocalizer->GetText(16), "Line\r\nbreak");
    EXPECT_EQ(FLocalizer->GetString(3), "Three and more");
    EXPECT_EQ(FLocalizer->GetString(cLocaleEnglish, 16), "Line#$Dbreak");
}

TEST_F(LocalizerTest, UninstalledLocaleTakesEnglishAndKeepsTheRequestedId) {
    FLocalizer->SetLocaleID(1031);
    EXPECT_EQ(FLocalizer->LocaleID(), 1031);
    EXPECT_EQ(FLocalizer->GetText(1), "One");
    EXPECT_EQ(FLocalizer->LanguageName(), "English");
}

TEST_F(LocalizerTest, UnreadableFileAtSwitchChangesNothing) {
    FLocalizer->SetLocaleID(cLocaleEnglish);
    QFile rus(FFolder.Path() + "/rus.lng");
    ASSERT_TRUE(rus.remove());
    EXPECT_THROW(FLocalizer->SetLocaleID(cLocaleRussian), ELanguageFile);
    EXPECT_EQ(FLocalizer->LocaleID(), cLocaleEnglish);
    EXPECT_EQ(FLocalizer->GetText(1), "One");
    EXPECT_EQ(FLocalizer->LanguageName(), "English");
}

TEST_F(LocalizerTest, UnreadableEnglishFallBackGivesTheExceptionText) {
    FLocalizer->SetLocaleID(cLocaleRussian);
    ASSERT_TRUE(QFile::remove(FFolder.Path() + "/eng.lng"));
    EXPECT_EQ(LocalizedText(1), "Один");
    EXPECT_EQ(LocalizedText(3), "! Exception !");
}

TEST(Localizer, WithoutFilesOrLocalizerTextsAreEmpty) {
    TLngFolder empty;
    auto localizer = std::make_shared<TLocalizer>(QStringList{empty.Path()});
    localizer->SetLocaleID(cLocaleEnglish);
    EXPECT_EQ(localizer->LocaleID(), 0);
    EXPECT_EQ(localizer->Languages()->Count(), 0);

    SetGlobalLocalizer(localizer);
    EXPECT_EQ(LocalizedText(1), "");
    EXPECT_EQ(LocalizedFormat(1, {1}), "");
    SetGlobalLocalizer(nullptr);
    EXPECT_EQ(LocalizedText(1), "");
}

// A localizer whose every answer raises, as a damaged installation might.
class TRaisingLocalizer final : public ILocalizer {
public:
    QString GetText(int) const override { throw std::runtime_error("broken"); }
    QString GetText(int, std::int32_t) const override { throw std::runtime_error("broken"); }
    std::int32_t LocaleID() const override { return 0; }
    void SetLocaleID(std::int32_t) override {}
    std::shared_ptr<ILanguageList> Languages() const override { return nullptr; }
    QString LanguageName() const override { return {}; }
};

TEST(Localizer, RaisingLookupGivesTheExceptionText) {
    SetGlobalLocalizer(std::make_shared<TRaisingLocalizer>());
    EXPECT_EQ(LocalizedText(1), "! Exception !");
    EXPECT_EQ(LocalizedFormat(113, {"a", "b"}), "! Exception !");
    SetGlobalLocalizer(nullptr);
}

struct FormatCase {
    const char* Title;
    QByteArray RussianLine; // the translation of text 0113 ("%s of %s" in English)
    std::vector<TFormatArg> Args;
    QString Expected;
    bool Logged;
};

class LocalizedFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(LocalizedFormatTest, NeverMisformats) {
    const FormatCase& c = GetParam();
    TLngFolder folder;
    folder.Write("eng.lng", English);
    folder.Write("rus.lng", "LocaleID=0419\r\nName=Russian\r\n" + c.RussianLine + "\r\n");
    auto localizer = std::make_shared<TLocalizer>(QStringList{folder.Path()});
    localizer->SetLocaleID(cLocaleRussian);
    SetGlobalLocalizer(localizer);
    TLogCapture log;

    EXPECT_EQ(LocalizedFormat(0x113, c.Args), c.Expected);
    EXPECT_EQ(log.Logger().CountContaining("text 275") > 0, c.Logged);
    SetGlobalLocalizer(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LocalizedFormatTest,
    ::testing::Values(
        FormatCase{"Fitting", "0113=%s из %s", {"1 Mb", "3 Mb"}, "1 Mb из 3 Mb", false},
        FormatCase{"IndexedFitting", "0113=%1:s из %0:s", {"1 Mb", "3 Mb"}, "3 Mb из 1 Mb", false},
        FormatCase{"MissingTranslationUsesEnglish", "0001=x", {"1", "3"}, "1 of 3", false},
        FormatCase{"TooFewPlaceholders", "0113=%s", {"1", "3"}, "1 of 3", true},
        FormatCase{"TooManyPlaceholders", "0113=%s %s %s", {"1", "3"}, "1 of 3", true},
        FormatCase{"IntegerGivenText", "0113=%d из %s", {"1", "3"}, "1 of 3", true},
        FormatCase{"IndexOutOfRange", "0113=%5:s из %s", {"1", "3"}, "1 of 3", true},
        FormatCase{"LonePercent", "0113=%s из %s %", {"1", "3"}, "1 of 3", true},
        FormatCase{"UnknownConversion", "0113=%s из %q", {"1", "3"}, "1 of 3", true},
        FormatCase{"BothUnfitKeepTheTranslationAsItStands", "0113=%s из %s", {"1"}, "%s из %s", true}),
    [](const auto& info) { return std::string(info.param.Title); });

TEST(LocalizedFormat, PercentSignsAndNumbers) {
    TLngFolder folder;
    folder.Write("eng.lng", English);
    auto localizer = std::make_shared<TLocalizer>(QStringList{folder.Path()});
    localizer->SetLocaleID(cLocaleEnglish);
    SetGlobalLocalizer(localizer);
    EXPECT_EQ(LocalizedFormat(0x117, {}), "100% done");
    EXPECT_EQ(LocalizedFormat(0x115, {5}), "5 min. ago");
    EXPECT_EQ(LocalizedFormat(0x116, {"a", 2}), "a/2");
    EXPECT_EQ(LocalizedFormat(0x115, {"five"}), "%d min. ago");
    SetGlobalLocalizer(nullptr);
}

} // namespace
} // namespace pxh
