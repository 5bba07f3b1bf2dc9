// The shipped language files agree with each other: same identifiers, same placeholders, no gaps.
#include "base/language_file.h"
#include "base/localizer.h"
#include "base/safe_format.h"
#include "support/temp_root.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace pxh {
namespace {

QString ShippedFolder() {
    return test::SourceDir() + "/resources/Lngs";
}

const QStringList HeaderNames = {"LOCALEID", "LOCALEIDSTR", "NAME"};

struct Shipped {
    QString File;
    std::int32_t LocaleID;
};

class ShippedLanguages : public ::testing::Test {
protected:
    static TLanguageTexts Load(const QString& AFile) {
        return TLanguageTexts::Read(ShippedFolder() + "/" + AFile);
    }
    const std::vector<Shipped> FFiles = {{"English.lng", 1033}, {"French.lng", 1036}, {"Russian.lng", 1049}};
};

TEST_F(ShippedLanguages, AreListedByTheLocalizer) {
    TLocalizer localizer({ShippedFolder()});
    ASSERT_EQ(localizer.Languages()->Count(), 3);
    for (const Shipped& s : FFiles) {
        ASSERT_TRUE(localizer.Languages()->HasLanguage(s.LocaleID)) << s.File.toStdString();
        localizer.SetLocaleID(s.LocaleID);
        EXPECT_FALSE(localizer.LanguageName().isEmpty());
        EXPECT_EQ(localizer.GetText(1), "Pixhoard");
    }
}

TEST_F(ShippedLanguages, EveryLineIsAWellFormedUniqueEntry) {
    static const QRegularExpression key("^[0-9A-F]{4}$");
    for (const Shipped& s : FFiles) {
        QFile file(ShippedFolder() + "/" + s.File);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
        EXPECT_TRUE(lines.last().isEmpty()) << s.File.toStdString() << ": lines end with CR LF";
        QSet<QString> seen;
        for (int i = 1; i < lines.size(); ++i) { // line 0 is the title
            const QString& line = lines[i];
            if (line.isEmpty())
                continue;
            const QString where = s.File + ":" + QString::number(i + 1) + ": " + line;
            ASSERT_FALSE(line.contains('\n') || line.contains('\r')) << where.toStdString();
            const qsizetype eq = line.indexOf('=');
            ASSERT_GT(eq, 0) << where.toStdString();
            const QString name = TLanguageTexts::FoldName(line.left(eq));
            EXPECT_TRUE(HeaderNames.contains(name) || key.match(line.left(eq)).hasMatch())
                << where.toStdString();
            EXPECT_FALSE(seen.contains(name)) << "duplicate " << where.toStdString();
            seen.insert(name);
            EXPECT_FALSE(line.mid(eq + 1).trimmed().isEmpty()) << "empty " << where.toStdString();
        }
    }
}

TEST_F(ShippedLanguages, TranslationsMatchTheEnglishFile) {
    const TLanguageTexts english = Load("English.lng");
    QList<QString> names = english.Names();
    std::sort(names.begin(), names.end());
    ASSERT_GT(names.size(), 200);
    for (const Shipped& s : FFiles) {
        const TLanguageTexts texts = Load(s.File);
        EXPECT_EQ(ParseLocaleID(texts.Value("LocaleID").value_or("")), s.LocaleID) << s.File.toStdString();
        QList<QString> own = texts.Names();
        std::sort(own.begin(), own.end());
        EXPECT_EQ(own, names) << s.File.toStdString() << " has other identifiers than the English file";
        for (const QString& name : names) {
            if (HeaderNames.contains(name))
                continue;
            const QString en = english.Value(name).value_or("");
            const QString tr = texts.Value(name).value_or("");
            const std::string where = (s.File + " " + name + ": " + tr).toStdString();
            EXPECT_TRUE(SameFormatArguments(en, tr)) << where;
            EXPECT_EQ(en.count('|'), tr.count('|')) << where;
        }
    }
}

} // namespace
} // namespace pxh

namespace pxh {

// Every text the code asks for by number is in all three files; a new call with a missing text fails here.
TEST_F(ShippedLanguages, HoldEveryTextTheCodeUses) {
    static const QRegularExpression call(QStringLiteral("Localized(?:Text|Format)\\s*\\(\\s*(\\d+)"));
    QSet<int> used;
    QDirIterator it(test::SourceDir() + "/src", {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile source(it.next());
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(source.readAll());
        for (const auto& match : call.globalMatch(text))
            used.insert(match.captured(1).toInt());
    }
    ASSERT_FALSE(used.isEmpty()) << "the scan found no text calls at all";
    for (const Shipped& file : FFiles) {
        const TLanguageTexts texts = Load(file.File);
        for (int id : used)
            EXPECT_TRUE(texts.Contains(TextKey(id))) << file.File.toStdString() << " lacks text " << id;
    }
}

} // namespace pxh
