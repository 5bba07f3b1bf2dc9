// The XML form of persistent objects: placement, value texts, versions, defaults, copying, errors and saves.
#include "persist_fixture.h"
#include "support/temp_root.h"

#include <QFile>
#include <QLocale>
#include <csignal>
#include <gtest/gtest.h>
#include <limits>
#include <pugixml.hpp>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pxh::test {
namespace {

QString ReadAll(const QString& AFileName) {
    QFile File(AFileName);
    return File.open(QIODevice::ReadOnly) ? QString::fromUtf8(File.readAll()) : QString();
}

void WriteAll(const QString& AFileName, const QByteArray& AData) {
    QFile File(AFileName);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    File.write(AData);
}

TIntrusivePtr<TSample> FilledSample() {
    auto S = MakeInterfaced<TSample>();
    S->FInt = -123456;
    S->FBig = std::numeric_limits<std::int64_t>::min();
    S->FFlag = false;
    S->FColour = TColour::clRed;
    S->FRatio = 0.1;
    S->FWhen = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
    S->FText = QString::fromUtf8(" <&>\"' \r\n\tПривет \x01 ");
    S->FLines = {QStringLiteral("a"), QString(), QStringLiteral("b")};
    S->FInner = MakeInterfaced<TInner>();
    S->FInner->FLabel = QStringLiteral("in\"ner");
    S->FInner->FSize = 77;
    S->FOld = 9;
    return S;
}

void ExpectSameData(const TSample& A, const TSample& B) {
    EXPECT_EQ(A.FInt, B.FInt);
    EXPECT_EQ(A.FBig, B.FBig);
    EXPECT_EQ(A.FFlag, B.FFlag);
    EXPECT_EQ(A.FColour, B.FColour);
    EXPECT_EQ(A.FRatio, B.FRatio);
    EXPECT_EQ(A.FWhen, B.FWhen);
    EXPECT_EQ(A.FText, B.FText);
    EXPECT_EQ(A.FLines, B.FLines);
    ASSERT_TRUE(A.FInner && B.FInner);
    EXPECT_NE(A.FInner.get(), B.FInner.get());
    EXPECT_EQ(A.FInner->FLabel, B.FInner->FLabel);
    EXPECT_EQ(A.FInner->FSize, B.FInner->FSize);
}

TEST(PersistObject, EveryKindRoundTripsThroughAFile) {
    TempRoot Root;
    const QString FileName = Root.path() + "/sample.xml";
    const auto Written = FilledSample();
    TPersistObject::ToXMLFile(*Written, FileName);

    TSample Read;
    QString Error;
    ASSERT_TRUE(TPersistObject::FromXMLFile(Read, FileName, &Error)) << Error.toStdString();
    ExpectSameData(*Written, Read);
    EXPECT_TRUE(ReadAll(FileName).startsWith(R"(<?xml version="1.0" encoding="UTF-8"?>)"));
}

TEST(PersistObject, ValuesArePlacedByTheirAttributes) {
    const auto S = FilledSample();
    pugi::xml_document Doc;
    TPersistObject::ToXMLDoc(*S, Doc);
    const pugi::xml_node Root = Doc.child("Sample");
    ASSERT_TRUE(Root);
    EXPECT_EQ(Root.attribute("Version").as_int(), 3);
    EXPECT_STREQ(Root.attribute("Int").value(), "-123456");   // attribute, own element
    EXPECT_STREQ(Root.child("Colour").text().get(), "clRed"); // section equal to the name, other case
    EXPECT_FALSE(Root.child("sample"));
    const pugi::xml_node Numbers = Root.child("Numbers"); // two properties in one section
    EXPECT_STREQ(Numbers.child("Big").text().get(), "-9223372036854775808");
    EXPECT_STREQ(Numbers.attribute("Flag").value(), "False");
    EXPECT_STREQ(Numbers.child("Ratio").text().get(), "0.1");
    EXPECT_STREQ(Root.child("Times").child("When").text().get(), "2024-02-29 23:59:58");
    EXPECT_STREQ(Root.child("Texts").child("Lines").text().get(), "a\r\n\r\nb\r\n");
    EXPECT_EQ(Root.child("Inner").attribute("Version").as_int(), 1);
    EXPECT_STREQ(Root.child("Inner").attribute("Label").value(), "in\"ner");
    EXPECT_STREQ(Root.attribute("Fixed").value(), "fixed");
    EXPECT_FALSE(Root.attribute("Old")) << "above its maximum version";
}

// One stored text, read once from an attribute and once from an element, then written and read again.
struct TValueCase {
    const char* Name;
    const char* Section;
    QString Text;
    std::function<void(const TSample&)> Check;
};

class PersistValue : public testing::TestWithParam<std::tuple<TValueCase, bool>> {};

TEST_P(PersistValue, ReadsAndWritesBack) {
    const auto& [Case, AsAttribute] = GetParam();
    pugi::xml_document Doc;
    pugi::xml_node Root = Doc.append_child("Sample");
    Root.append_attribute("Version") = 3;
    pugi::xml_node Place = *Case.Section ? Root.append_child(Case.Section) : Root;
    const std::string Text = Case.Text.toUtf8().toStdString();
    if (AsAttribute)
        Place.append_attribute(Case.Name) = Text.c_str();
    else
        Place.append_child(Case.Name).text() = Text.c_str();

    TSample Read;
    TPersistObject::FromXMLDoc(Read, Doc);
    Case.Check(Read);

    TSample Again;
    TPersistObject::FromXMLString(Again, TPersistObject::ToXMLString(Read));
    Case.Check(Again);
}

const std::vector<TValueCase> ValueCases = {
    {"Int", "", "42", [](const TSample& S) { EXPECT_EQ(S.FInt, 42); }},
    {"Int", "", "$FFD60808",
     [](const TSample& S) { EXPECT_EQ(S.FInt, static_cast<std::int32_t>(0xFFD60808u)); }},
    {"Int", "", "99999999999", [](const TSample& S) { EXPECT_EQ(S.FInt, 0); }},
    {"Int", "", "x", [](const TSample& S) { EXPECT_EQ(S.FInt, 0); }},
    {"Int", "", "", [](const TSample& S) { EXPECT_EQ(S.FInt, 0); }},
    {"Big", "Numbers", "$7FFFFFFFFFFFFFFF",
     [](const TSample& S) { EXPECT_EQ(S.FBig, std::numeric_limits<std::int64_t>::max()); }},
    {"Big", "Numbers", "-5", [](const TSample& S) { EXPECT_EQ(S.FBig, -5); }},
    {"Flag", "Numbers", "False", [](const TSample& S) { EXPECT_FALSE(S.FFlag); }},
    {"Flag", "Numbers", "true", [](const TSample& S) { EXPECT_TRUE(S.FFlag); }},
    // Preset true: an empty text leaves it, an unknown one takes the default (False).
    {"Flag", "Numbers", "", [](const TSample& S) { EXPECT_TRUE(S.FFlag); }},
    {"Flag", "Numbers", "yes", [](const TSample& S) { EXPECT_FALSE(S.FFlag); }},
    {"Colour", "", "clRed", [](const TSample& S) { EXPECT_EQ(S.FColour, TColour::clRed); }},
    {"Colour", "", "CLRED", [](const TSample& S) { EXPECT_EQ(S.FColour, TColour::clRed); }},
    {"Colour", "", "clPurple", [](const TSample& S) { EXPECT_EQ(S.FColour, TColour::clGreen); }},
    {"Colour", "", "", [](const TSample& S) { EXPECT_EQ(S.FColour, TColour::clBlue); }},
    {"Ratio", "Numbers", "1.5", [](const TSample& S) { EXPECT_EQ(S.FRatio, 1.5); }},
    {"Ratio", "Numbers", "1e3", [](const TSample& S) { EXPECT_EQ(S.FRatio, 1000.0); }},
    {"Ratio", "Numbers", "1,5", [](const TSample& S) { EXPECT_EQ(S.FRatio, 0.0); }},
    {"Ratio", "Numbers", "x", [](const TSample& S) { EXPECT_EQ(S.FRatio, 0.0); }},
    {"When", "Times", "2021-03-05 14:07:59",
     [](const TSample& S) { EXPECT_EQ(S.FWhen, QDateTime(QDate(2021, 3, 5), QTime(14, 7, 59))); }},
    {"When", "Times", "0", [](const TSample& S) { EXPECT_FALSE(S.FWhen.isValid()); }},
    {"When", "Times", "1899-12-30 00:00:00", [](const TSample& S) { EXPECT_FALSE(S.FWhen.isValid()); }},
    {"When", "Times", "05.03.2021 14:07:59", [](const TSample& S) { EXPECT_FALSE(S.FWhen.isValid()); }},
    {"Text", "Texts", "<&>\"'", [](const TSample& S) { EXPECT_EQ(S.FText, "<&>\"'"); }},
    {"Text", "Texts", "a\r\nb\tc", [](const TSample& S) { EXPECT_EQ(S.FText, "a\r\nb\tc"); }},
    {"Text", "Texts", QString::fromUtf8("\x01Привет"),
     [](const TSample& S) { EXPECT_EQ(S.FText, QString::fromUtf8("\x01Привет")); }},
    {"Text", "Texts", "   ", [](const TSample& S) { EXPECT_EQ(S.FText, "   "); }},
};

INSTANTIATE_TEST_SUITE_P(Table, PersistValue,
                         testing::Combine(testing::ValuesIn(ValueCases), testing::Bool()));

TEST(PersistObject, MissingValuesTakeTheirDefaults) {
    const auto ExpectDefaults = [](const TSample& S) {
        EXPECT_EQ(S.FInt, static_cast<std::int32_t>(0xFFD60808u));
        EXPECT_EQ(S.FBig, std::int64_t{1} << 40);
        EXPECT_FALSE(S.FFlag);
        EXPECT_EQ(S.FColour, TColour::clGreen);
        EXPECT_EQ(S.FRatio, 0.25);
        EXPECT_FALSE(S.FWhen.isValid());
        EXPECT_EQ(S.FText, "hello");
        EXPECT_EQ(S.FLines, QStringList({"a", "b"}));
        ASSERT_TRUE(S.FInner);
        EXPECT_EQ(S.FInner->FLabel, "inner");
        EXPECT_EQ(S.FInner->FSize, 3);
        EXPECT_EQ(S.FOld, 7);
    };
    TSample Read;
    TPersistObject::FromXMLString(Read, R"(<Sample Version="1"/>)");
    ExpectDefaults(Read);

    TSample Defaulted;
    TPersistObject::SetDefault(Defaulted);
    ExpectDefaults(Defaulted);
}

TEST(PersistObject, PropertiesBeyondTheirMaximumVersionAreNotRead) {
    struct TCase {
        const char* Version;
        int Expected;
    };
    for (const TCase& Case :
         {TCase{"2", 9}, TCase{"1", 9}, TCase{"", 9}, TCase{"junk", 9}, TCase{"3", -1}, TCase{"10", -1}}) {
        TSample Read;
        TPersistObject::FromXMLString(Read,
                                      QStringLiteral(R"(<Sample Version="%1" Old="9"/>)").arg(Case.Version));
        EXPECT_EQ(Read.FOld, Case.Expected) << "Version " << Case.Version;
    }
    TSample NoVersion;
    TPersistObject::FromXMLString(NoVersion, R"(<Sample Old="9"/>)");
    EXPECT_EQ(NoVersion.FOld, 9);
}

TEST(PersistObject, DecimalPointWhateverTheLocale) {
    for (const auto Language : {QLocale::French, QLocale::Russian}) {
        QLocale::setDefault(QLocale(Language));
        TSample S;
        S.FRatio = 1234.5;
        const QString Xml = TPersistObject::ToXMLString(S);
        EXPECT_TRUE(Xml.contains("<Ratio>1234.5</Ratio>")) << Xml.toStdString();
        TSample Read;
        TPersistObject::FromXMLString(Read, Xml);
        EXPECT_EQ(Read.FRatio, 1234.5);
    }
    QLocale::setDefault(QLocale::c());
}

TEST(PersistObject, AssignCopiesByNameIgnoringCase) {
    const auto Source = FilledSample();
    TSample Copy;
    Copy.FInner.reset();
    TPersistObject::Assign(*Source, Copy);
    EXPECT_EQ(Copy.FOld, Source->FOld);
    ExpectSameData(*Source, Copy);

    TOther Other;
    Other.ObjAssign()->Assign(*Source);
    EXPECT_EQ(Other.FText, Source->FText); // "TEXT" matches "Text"
    EXPECT_EQ(Other.FInt, Source->FInt);   // "int" matches "Int"
    ASSERT_TRUE(Other.FInner);             // matched by property name, created
    EXPECT_EQ(Other.FInner->FSize, 77);
    EXPECT_EQ(Other.FFixed, "untouched"); // read-only destination

    TPlain Plain;
    EXPECT_THROW(Plain.ObjAssign(), EAssertionFailed);
    try {
        Other.ObjAssign()->Assign(Plain);
        ADD_FAILURE();
    } catch (const EAssertionFailed& E) {
        EXPECT_EQ(
            E.Message(),
            QString::fromUtf8("Класс TPlain не подготовлен для передачи значений свойств другому объекту"));
    }
}

TIntrusivePtr<TInner> Inner(const char* ALabel, int ASize) {
    auto Item = MakeInterfaced<TInner>();
    Item->FLabel = QString::fromUtf8(ALabel);
    Item->FSize = ASize;
    return Item;
}

TEST(PersistObject, ListsWriteReadAndAssignTheirItems) {
    TInnerList List;
    List.FTitle = "t";
    List.Add(Inner("a", 1));
    List.Add(Inner("b", 2));
    const QString Xml = TPersistObject::ToXMLString(List);
    EXPECT_TRUE(Xml.contains(R"(<Items Count="2">)")) << Xml.toStdString();
    EXPECT_TRUE(Xml.contains(R"(<Inner Version="1" Label="a">)")) << Xml.toStdString();

    TInnerList Read;
    TPersistObject::FromXMLString(Read, Xml);
    ASSERT_EQ(Read.Count(), 2);
    EXPECT_EQ(Read.FTitle, "t");
    EXPECT_EQ(Read.Item(1)->FLabel, "b");
    EXPECT_EQ(Read.Item(1)->FSize, 2);

    TInnerList Copy;
    Copy.Add(Inner("old", 0));
    TPersistObject::Assign(List, Copy);
    ASSERT_EQ(Copy.Count(), 2);
    EXPECT_EQ(Copy.Item(0)->FLabel, "a");
    EXPECT_NE(Copy.Item(0).get(), List.Item(0).get());
}

TEST(PersistObject, ItemsAreTakenWhateverTheirNamesAndCount) {
    const QString Three =
        R"(<InnerList Version="1"><Items Count="7"><A Label="1"/><Whatever/><Inner><Size>5</Size></Inner></Items></InnerList>)";
    TInnerList List;
    TPersistObject::FromXMLString(List, Three);
    ASSERT_EQ(List.Count(), 3);
    EXPECT_EQ(List.Item(0)->FLabel, "1");
    EXPECT_EQ(List.Item(1)->FLabel, "inner");
    EXPECT_EQ(List.Item(2)->FSize, 5);
    TPersistObject::FromXMLString(List, Three);
    EXPECT_EQ(List.Count(), 6) << "reading does not empty the list";

    TInnerList Empty;
    TPersistObject::FromXMLString(Empty, R"(<InnerList Version="1"/>)");
    EXPECT_EQ(Empty.Count(), 0);
}

TEST(PersistObject, ListOfInterfacesRoundTrips) {
    TShapeList Shapes;
    Shapes.Add(MakeInterfaced<TSquare>(2.0));
    Shapes.Add(MakeInterfaced<TSquare>(0.5));
    TShapeList Read;
    TPersistObject::FromXMLString(Read, TPersistObject::ToXMLString(Shapes));
    ASSERT_EQ(Read.Count(), 2);
    EXPECT_EQ(Read.Item(0)->Area(), 4.0);
    EXPECT_EQ(Read.Item(1)->Area(), 0.25);
}

// Each case names what goes wrong and the message the caller gets.
TEST(PersistObject, FailuresReachTheCaller) {
    TempRoot Root;
    TSample S;
    const auto Message = [](const std::function<void()>& ACall) {
        try {
            ACall();
        } catch (const EPixhoard& E) {
            return E.Message();
        }
        return QStringLiteral("no exception");
    };
    EXPECT_EQ(Message([&] { TPersistObject::FromXMLString(S, "<Other Version=\"1\"/>"); }),
              "Wrong XML file format. Can't find root node.");
    EXPECT_EQ(Message([&] { TPersistObject::FromXMLFile(S, Root.path() + "/missing.xml"); }),
              "File format. Can't find root node.");
    TPlain Plain;
    EXPECT_EQ(Message([&] { TPersistObject::ToXMLString(Plain); }),
              "Can't serialize object of class \"TPlain\"");
    TDerived Derived;
    EXPECT_EQ(Message([&] { TPersistObject::ToXMLString(Derived); }),
              "Can't serialize object of class \"TDerived\"");
    EXPECT_EQ(Message([&] { Plain.XML(); }),
              QString::fromUtf8("Класс TPlain не подготовлен для XML-сериализации"));
    EXPECT_TRUE(Message([&] {
                    TPersistObject::FromXMLString(S, "<Sample Version=\"1\"><Texts>");
                }).startsWith("XML parse error"));
}

TEST(PersistObject, DamagedFileKeepsTheDefaultsAndSaysWhy) {
    TempRoot Root;
    struct TCase {
        const char* What;
        QByteArray Content;
    };
    const QByteArray Good = TPersistObject::ToXMLBytes(*FilledSample());
    for (const TCase& Case : {TCase{"truncated", Good.left(Good.size() / 2)}, TCase{"wrong root", "<Other/>"},
                              TCase{"not XML", "\x89PNG\r\n"}, TCase{"empty", ""}}) {
        const QString FileName = Root.path() + "/damaged.xml";
        WriteAll(FileName, Case.Content);
        TSample S;
        TPersistObject::SetDefault(S);
        QString Error;
        EXPECT_FALSE(TPersistObject::FromXMLFile(S, FileName, &Error)) << Case.What;
        EXPECT_TRUE(Error.contains(FileName)) << Case.What;
        EXPECT_EQ(S.FText, "hello") << Case.What;
        EXPECT_EQ(S.FInt, static_cast<std::int32_t>(0xFFD60808u)) << Case.What;
    }
}

// The save runs in a child whose file-size limit is below the new file: the write fails half-way.
TEST(PersistObject, FailedSaveLeavesThePreviousFile) {
    TempRoot Root;
    const QString FileName = Root.path() + "/sample.xml";
    const auto Old = FilledSample();
    TPersistObject::ToXMLFile(*Old, FileName);
    const QString Before = ReadAll(FileName);

    auto Big = FilledSample();
    Big->FText = QString(200000, QLatin1Char('x'));
    const pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &Limit);
        try {
            TPersistObject::ToXMLFile(*Big, FileName);
        } catch (const EPersistError&) {
            _exit(0);
        }
        _exit(1);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0) << "the failed save must raise";
    EXPECT_EQ(ReadAll(FileName), Before);
    TSample Read;
    EXPECT_TRUE(TPersistObject::FromXMLFile(Read, FileName));
    ExpectSameData(*Old, Read);

    EXPECT_THROW(TPersistObject::ToXMLFile(*Old, Root.path() + "/no/such/folder/x.xml"), EPersistError);
}

TEST(PersistObject, CompanionWorksThroughTheInterface) {
    TempRoot Root;
    const QString FileName = Root.path() + "/companion.xml";
    auto S = FilledSample();
    TIntrusivePtr<IXMLPersistence> Xml = S->XML();
    EXPECT_TRUE(Xml->Check(false));
    Xml->ToFile(FileName);
    auto Read = MakeInterfaced<TSample>();
    EXPECT_TRUE(Read->XML()->FromFile(FileName));
    ExpectSameData(*S, *Read);
}

} // namespace
} // namespace pxh::test
