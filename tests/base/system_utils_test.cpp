// Versions, sizes and their texts, free space, date-time, URL and hot-key texts.
#include "base/language_file.h"
#include "base/system_utils.h"
#include "support/temp_root.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace pxh::test {
namespace {

std::string S(const QString& AText) {
    return AText.toStdString();
}

TEST(SystemUtils, TextToVersion) {
    struct TCase {
        const char* Text;
        TVersion Expected;
    };
    for (const TCase& Case :
         {TCase{"ver.3.4.1.431", {3, 4, 1, 431}}, TCase{"3.4", {3, 4, 0, 0}}, TCase{"3.x.1.2", {3, 0, 1, 2}},
          TCase{" 3.4.1.431 ", {3, 4, 1, 431}}, TCase{"", {}}, TCase{"abc", {}},
          TCase{"3.4.-1", {3, 4, 0, 0}}, TCase{"3.70000", {3, 0, 0, 0}}, TCase{"3.65535", {3, 65535, 0, 0}},
          TCase{"3..4", {3, 0, 4, 0}}, TCase{"1.2.3.4.5", {1, 2, 3, 4}}})
        EXPECT_EQ(TextToVersion(Case.Text), Case.Expected) << Case.Text;
}

TEST(SystemUtils, VersionTextAndComparison) {
    const TVersion V{3, 4, 1, 431};
    EXPECT_EQ(VersionToText(V, 1), "3");
    EXPECT_EQ(VersionToText(V, 2), "3.4");
    EXPECT_EQ(VersionToText(V, 3), "3.4.1");
    EXPECT_EQ(VersionToText(V, 4), "3.4.1.431");
    EXPECT_EQ(VersionToText(V, 0), "3.4.1.431");

    EXPECT_TRUE(VersionAtLeast(V, 3, 4, 1, 431));
    const int Parts[4] = {3, 4, 1, 431};
    for (int I = 0; I < 4; ++I) {
        int Less[4] = {Parts[0], Parts[1], Parts[2], Parts[3]};
        int More[4] = {Parts[0], Parts[1], Parts[2], Parts[3]};
        --Less[I];
        ++More[I];
        EXPECT_TRUE(VersionAtLeast(V, Less[0], Less[1], Less[2], Less[3])) << "position " << I;
        EXPECT_FALSE(VersionAtLeast(V, More[0], More[1], More[2], More[3])) << "position " << I;
    }
    EXPECT_FALSE(VersionAtLeast(V, 3, 4, 2, 0));
    EXPECT_EQ(GetFileVersion("/bin/sh"), TVersion{});
}

TEST(SystemUtils, SizeToText) {
    struct TCase {
        qint64 Bytes;
        const char* English;
        const char* German;
    };
    const TSizeTexts Russian{QString::fromUtf8(" б"), QString::fromUtf8("0.00 Кб"),
                             QString::fromUtf8("0.00 Мб"), QString::fromUtf8("0.00 Гб")};
    for (const TCase& Case :
         {TCase{0, "-", "-"}, TCase{-1, "-", "-"}, TCase{999, "999 b", "999 b"},
          TCase{1000, "0.98 kb", "0,98 kb"}, TCase{1023999, "1000.00 kb", "1000,00 kb"},
          TCase{1024000, "0.98 Mb", "0,98 Mb"}, TCase{1073741823, "1024.00 Mb", "1024,00 Mb"},
          TCase{qint64{1} << 30, "1.00 Gb", "1,00 Gb"}, TCase{qint64{1} << 40, "1024.00 Gb", "1024,00 Gb"}}) {
        EXPECT_EQ(S(SizeToText(Case.Bytes, {}, QLocale::c())), Case.English) << Case.Bytes;
        EXPECT_EQ(S(SizeToText(Case.Bytes, {}, QLocale(QLocale::German))), Case.German) << Case.Bytes;
    }
    EXPECT_EQ(SizeToText(1024000, Russian, QLocale(QLocale::Russian)), QString::fromUtf8("0,98 Мб"));
    EXPECT_EQ(SizeToText(999, Russian, QLocale(QLocale::Russian)), QString::fromUtf8("999 б"));
    EXPECT_EQ(SizeToText(-1), "-");
}

TEST(SystemUtils, NumberPatterns) {
    struct TCase {
        double Value;
        const char* Pattern;
        const char* Expected;
    };
    for (const TCase& Case :
         {TCase{1234567.891, "#,##0.00", "1,234,567.89"}, TCase{0.5, "#.##", ".5"},
          TCase{2, "0.## 'kb'", "2 kb"}, TCase{2.5, "\"0.00\" 0.0", "0.00 2.5"}, TCase{3, "000", "003"},
          TCase{1.25, "kb", "1.25kb"}, TCase{1.5, "0.0;(0.0)", "1.5"}, TCase{-1.5, "0.0", "-1.5"},
          TCase{1.5, "", "1.50"}})
        EXPECT_EQ(S(FormatNumberPattern(Case.Value, Case.Pattern, QLocale::c())), Case.Expected)
            << Case.Pattern;
}

TEST(SystemUtils, FileAndFolderSizes) {
    TempRoot Root;
    const QString Tree = Root.path() + "/tree";
    QDir().mkpath(Tree + "/sub/deeper");
    QDir().mkpath(Root.path() + "/outside");
    const auto Write = [](const QString& AName, int ABytes) {
        QFile File(AName);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        File.write(QByteArray(ABytes, 'x'));
    };
    Write(Tree + "/a", 10);
    Write(Tree + "/sub/b", 100);
    Write(Tree + "/sub/deeper/c", 1000);
    Write(Root.path() + "/outside/big", 50000);
    ASSERT_TRUE(QFile::link(Tree, Tree + "/sub/loop"));                // a folder link back to the top
    ASSERT_TRUE(QFile::link(Root.path() + "/outside", Tree + "/out")); // a folder link elsewhere
    ASSERT_TRUE(QFile::link(Tree + "/missing", Tree + "/dangling"));
    ASSERT_TRUE(QFile::link(Tree + "/a", Tree + "/a-link"));

    EXPECT_EQ(GetFileSize(Tree + "/sub/b"), 100);
    EXPECT_EQ(GetFileSize(Tree + "/a-link"), 10);
    EXPECT_EQ(GetFileSize(Tree + "/dangling"), -1);
    EXPECT_EQ(GetFileSize(Tree), -1);
    EXPECT_EQ(GetFileSize(Tree + "/nothing"), -1);
    EXPECT_EQ(GetFolderSize(Tree), 10 + 100 + 1000 + 10);
    EXPECT_EQ(GetFolderSize(Tree + "/nothing"), 0);
    EXPECT_EQ(FileSizeText(Tree + "/nothing"), "-");

    if (geteuid() != 0) {
        Write(Tree + "/sub/secret", 7);
        QFile::setPermissions(Tree + "/sub/deeper", QFileDevice::Permissions());
        EXPECT_EQ(GetFolderSize(Tree), 10 + 100 + 10 + 7);
        QFile::setPermissions(Tree + "/sub/deeper",
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TEST(SystemUtils, FreeSpace) {
    TempRoot Root;
    struct statvfs Stat {};
    ASSERT_EQ(statvfs(Root.path().toLocal8Bit().constData(), &Stat), 0);
    const qint64 Free = static_cast<qint64>(Stat.f_bavail) * static_cast<qint64>(Stat.f_frsize);
    const auto Measured = FreeSpace(Root.path());
    ASSERT_TRUE(Measured);
    EXPECT_NEAR(static_cast<double>(*Measured), static_cast<double>(Free), 64.0 * 1024 * 1024);
    EXPECT_TRUE(FreeSpace(Root.path() + "/not/yet/made/file.mp4")) << "measures the nearest existing folder";
    EXPECT_TRUE(HasFreeSpaceFor(Root.path(), Free / 2));
    EXPECT_FALSE(HasFreeSpaceFor(Root.path(), Free * 2));
    EXPECT_FALSE(HasFreeSpace(""));
    EXPECT_FALSE(FreeSpace(""));
}

TEST(SystemUtils, DateTimeTexts) {
    const QDateTime When(QDate(2021, 3, 5), QTime(14, 7, 59));
    EXPECT_EQ(DateTimeToXMLText(When), "2021-03-05 14:07");
    EXPECT_EQ(XMLTextToDateTime("2021-03-05 14:07"), QDateTime(QDate(2021, 3, 5), QTime(14, 7)));
    EXPECT_EQ(XMLTextToDateTime("Saved 2021-03-05 14:07:59 and 2022-01-01 00:00"),
              QDateTime(QDate(2021, 3, 5), QTime(14, 7)));
    EXPECT_FALSE(XMLTextToDateTime("").isValid());
    EXPECT_EQ(DateTimeToXMLText(QDateTime()), "1899-12-30 00:00");
    EXPECT_FALSE(XMLTextToDateTime("1899-12-30 00:00").isValid());

    struct TBad {
        const char* Text;
        const char* Message;
    };
    for (const TBad& Bad : {TBad{"2021-3-5 14:07", "\"2021-3-5 14:07\" is not valid XML-DateTime string"},
                            TBad{"2021-02-30 10:00", "Invalid argument to date encode"},
                            TBad{"2021-02-03 25:00", "Invalid argument to date encode"}}) {
        try {
            XMLTextToDateTime(Bad.Text);
            ADD_FAILURE() << Bad.Text;
        } catch (const EConvertError& E) {
            EXPECT_EQ(S(E.Message()), Bad.Message);
        }
    }
}

TEST(SystemUtils, URLTexts) {
    EXPECT_EQ(EncodeURLPath("disk:/Folder/a b&c"), "disk%3A%2FFolder%2Fa b&c");
    struct TCase {
        QString Text;
        const char* Encoded;
    };
    for (const TCase& Case : {TCase{"aZ09-._~", "aZ09-._~"}, TCase{"a b", "a%20b"}, TCase{"a+b", "a%2Bb"},
                              TCase{"k=v&x#y", "k%3Dv%26x%23y"},
                              TCase{"/:?@!$'()*,;[]%", "%2F%3A%3F%40%21%24%27%28%29%2A%2C%3B%5B%5D%25"},
                              TCase{QString::fromUtf8("Привет"), "%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82"},
                              TCase{QString::fromUtf8("\xF0\x9F\x98\x80"), "%F0%9F%98%80"}})
        EXPECT_EQ(S(URLEncode(Case.Text)), Case.Encoded) << S(Case.Text);
}

TEST(SystemUtils, IncludeTrailingChar) {
    EXPECT_EQ(IncludeTrailingChar(" /home/u/a "), "/home/u/a/");
    EXPECT_EQ(IncludeTrailingChar("/home/u/a/"), "/home/u/a/");
    EXPECT_EQ(IncludeTrailingChar("name", QChar('.')), "name.");
    EXPECT_EQ(IncludeTrailingChar("name.", QChar('.')), "name.");
    EXPECT_EQ(IncludeTrailingChar(""), "/");
    EXPECT_EQ(IncludeTrailingChar("", QChar('.')), ".");
}

TEST(SystemUtils, HotKeyTexts) {
    struct TCase {
        int Value;
        QString Text;
    };
    for (const TCase& Case :
         {TCase{0x0F00 | 0x74, "Ctrl + Alt + Shift + Win + F5"}, TCase{0x0270, "Ctrl + F1"},
          TCase{0x0187, "Alt + F24"}, TCase{0x020D, "Ctrl + ENTER"}, TCase{0x002C, "PrtScr"},
          TCase{0x0441, "Shift + A"}, TCase{0x0839, "Win + 9"}, TCase{0x02C0, "Ctrl + ~"},
          TCase{0x02DF, QString::fromUtf8("Ctrl + §")}, TCase{0x0261, "Ctrl + "}, TCase{0, ""}})
        EXPECT_EQ(HotKeyToText(Case.Value), Case.Text) << Case.Value;
}

} // namespace
} // namespace pxh::test
