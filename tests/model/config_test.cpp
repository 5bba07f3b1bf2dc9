// The configuration: every setting through save and load, first start, damaged files, migrations, accessors.
#include "config_fixture.h"
#include "model/password_scrambler.h"
#include "server_compare.h"

#include <QFileInfo>
#include <QThread>
#include <chrono>

namespace pxh::test {
namespace {

// A value of the setting's kind that differs from its default, with text that is hard to store.
TPersistValue ChangedValue(const TPersistProperty& AProp, const TPersistValue& ADefault) {
    if (AProp.Name == "LastCheckUpdateStr")
        return QStringLiteral("2030-01-02 03:04");
    if (AProp.Name == "LastToolStatesStr")
        return QStringLiteral("3=2|-16777216~5=1|255");
    switch (AProp.Kind) {
    case TPersistKind::pkInt32:
        return std::get<std::int32_t>(ADefault) + 7;
    case TPersistKind::pkInt64:
        return std::int64_t(1) << 40;
    case TPersistKind::pkBoolean:
        return !std::get<bool>(ADefault);
    case TPersistKind::pkFloat:
        return std::get<double>(ADefault) + 2.5;
    case TPersistKind::pkDateTime:
        return QDateTime(QDate(2031, 4, 5), QTime(6, 7, 8));
    case TPersistKind::pkString:
        return QStringLiteral("<&>\"' \u00e9 \u96ea \U0001F600\r\nline2\t%1").arg(AProp.Name);
    default:
        ADD_FAILURE() << "no changed value for " << AProp.Name.toStdString();
        return ADefault;
    }
}

bool IsRoundTripped(const TPersistProperty& AProp) {
    return AProp.Writable() && AProp.Kind != TPersistKind::pkObject && AProp.Name != "ReadVersion";
}

// The scrambled forms are produced from the plain passwords, which the test sets through the interface.
bool IsSetDirectly(const TPersistProperty& AProp) {
    return IsRoundTripped(AProp) && !AProp.Name.endsWith("Crypted");
}

TEST_F(ConfigTest, EverySettingChangedSurvivesSaveAndLoadInItsPlace) {
    auto Config = LoadedConfig();
    {
        TLockGuard Guard(*Config);
        for (const TPersistProperty& Prop : Settings())
            if (IsSetDirectly(Prop))
                Prop.Set(*Config, ChangedValue(Prop, DefaultOf(Prop)));
    }
    Config->SetPXHPassword(QStringLiteral("account-pw \u00e9"));
    Config->SetProxyPassword(QStringLiteral("proxy-pw"));
    Config->ServerList()->Add(ustFTP, "My FTP", "https://files.example/", "ftp.example", "/up/", "ftpuser",
                              "ftp-secret", true);
    Config->ServerList()->Add(ustHTTP, "Mirror", "https://", "mirror.example/upload/", "", "", "", false);
    Config->ServerList()->Item(0)->SetChecked(true);
    ASSERT_TRUE(Config->Save());

    const QByteArray Bytes = ReadWholeFile(Config->GetFileName());
    pugi::xml_document Doc;
    ASSERT_TRUE(Doc.load_buffer(Bytes.constData(), Bytes.size(), TPersistObject::ParseFlags));
    auto Loaded = LoadedConfig();
    int Compared = 0;
    for (const TPersistProperty& Prop : Settings()) {
        if (!IsRoundTripped(Prop))
            continue;
        SCOPED_TRACE(Prop.Name.toStdString());
        const TPersistValue Saved = Prop.Get(*Config);
        EXPECT_NE(Saved, DefaultOf(Prop));
        EXPECT_EQ(Prop.Get(*Loaded), Saved);
        EXPECT_EQ(StoredText(Doc, Prop), TPersistObject::ValueToText(Prop, Saved));
        ++Compared;
    }
    EXPECT_GT(Compared, 70);

    EXPECT_TRUE(Loaded->GetPXHUserActive());
    EXPECT_EQ(Loaded->GetPXHUser(), Config->GetPXHUser());
    EXPECT_EQ(Loaded->GetPXHPassword(), Config->GetPXHPassword());
    EXPECT_EQ(Loaded->GetProxyPassword(), Config->GetProxyPassword());
    EXPECT_EQ(Loaded->GetUploadYandexTokenExpire(), QDateTime(QDate(2031, 4, 5), QTime(6, 7, 8)));
    EXPECT_EQ(Loaded->GetLastCheckUpdate(), QDateTime(QDate(2030, 1, 2), QTime(3, 4)));
    for (const QString& Secret :
         {Config->GetPXHPassword(), Config->GetProxyPassword(), QStringLiteral("ftp-secret")})
        EXPECT_FALSE(Bytes.contains(Secret.toUtf8())) << Secret.toStdString();

    EXPECT_EQ(Loaded->ServerList()->GetCount(), 2);
    ExpectSameServers(*Loaded->ServerList(), *Config->ServerList());
    EXPECT_TRUE(
        Doc.select_node("/PixhoardConfig/Upload/UploadServers/Items[@Count='2']/Server[@Kind='ustFTP']"));
}

struct TFirstStartCase {
    QLocale Locale;
    std::int32_t Language;
};

class FirstStartTest : public ConfigTest, public ::testing::WithParamInterface<TFirstStartCase> {};

TEST_P(FirstStartTest, WritesEveryDefaultAtOnce) {
    QLocale::setDefault(GetParam().Locale);
    auto Config = LoadedConfig();
    ASSERT_TRUE(QFileInfo::exists(Config->GetFileName()));
    EXPECT_EQ(QFileInfo(Config->GetFileName()).permissions() &
                  (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              0);

    const QByteArray Bytes = ReadWholeFile(Config->GetFileName());
    pugi::xml_document Doc;
    ASSERT_TRUE(Doc.load_buffer(Bytes.constData(), Bytes.size(), TPersistObject::ParseFlags));
    auto Loaded = LoadedConfig();
    for (const TPersistProperty& Prop : Settings()) {
        if (!IsRoundTripped(Prop) || Prop.Name == "Language")
            continue;
        SCOPED_TRACE(Prop.Name.toStdString());
        EXPECT_TRUE(StoredText(Doc, Prop).has_value());
        EXPECT_EQ(Prop.Get(*Loaded), DefaultOf(Prop));
    }
    EXPECT_EQ(Loaded->GetLanguage(), GetParam().Language);
    EXPECT_EQ(Loaded->GetReadVersion(), 7);
    EXPECT_EQ(Loaded->GetLastColor(), static_cast<std::int32_t>(0xFFD60808));
    const char* Texts[] = {
        "Win + A", "Shift + Win + A", "Shift + Win + F", "Alt + Win + X",  "",
        "PrtScr",  "Alt + Win + V",   "Alt + Win + O",   "Ctrl + Win + A", "Alt + Win + N"};
    for (int Key = 1; Key <= CHotKeyCount; ++Key)
        EXPECT_EQ(HotKeyToText(Loaded->GetHotKeyValue(Key)), QString::fromUtf8(Texts[Key - 1])) << Key;
}

INSTANTIATE_TEST_SUITE_P(Locales, FirstStartTest,
                         ::testing::Values(TFirstStartCase{QLocale(QLocale::Russian, QLocale::Russia), 1049},
                                           TFirstStartCase{QLocale(QLocale::English, QLocale::UnitedStates),
                                                           1033},
                                           TFirstStartCase{QLocale(QLocale::French, QLocale::France), 1033}));

TEST_F(ConfigTest, DamagedFileLoadsDefaultsAndIsKeptAsBad) {
    auto Config = LoadedConfig();
    Config->SetStartWithWindows(false);
    Config->SetMenuHeight(777);
    Config->SetLastFolder("kept folder");
    ASSERT_TRUE(Config->Save());
    const QString File = Config->GetFileName();
    const QByteArray Good = ReadWholeFile(File);
    const qsizetype End = Good.lastIndexOf("</PixhoardConfig>");

    std::vector<std::pair<std::string, QByteArray>> Damaged;
    for (const qsizetype Offset :
         {qsizetype(0), qsizetype(1), qsizetype(40), End / 3, End / 2, End - 200, End + 5})
        Damaged.emplace_back("truncated at " + std::to_string(Offset), Good.left(Offset));
    Damaged.emplace_back("wrong root", QByteArray("<?xml version=\"1.0\"?><Settings Version=\"7\"/>"));
    Damaged.emplace_back("binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    QByteArray WithNul = Good;
    WithNul[End / 2] = '\0';
    Damaged.emplace_back("NUL inside", WithNul);

    for (const auto& [Name, Bytes] : Damaged) {
        SCOPED_TRACE(Name);
        WriteWholeFile(File, Bytes);
        auto Fresh = LoadedConfig();
        EXPECT_TRUE(Fresh->GetStartWithWindows());
        EXPECT_EQ(Fresh->GetMenuHeight(), 500);
        EXPECT_EQ(Fresh->GetLastFolder(), QString());
        EXPECT_EQ(Fresh->GetLanguage(), 1033);
        EXPECT_EQ(Fresh->GetHotKeyValue(1), 2113);
        EXPECT_EQ(Fresh->GetLastColor(), static_cast<std::int32_t>(0xFFD60808));
        EXPECT_EQ(ReadWholeFile(File + ".bad"), Bytes);
        // The next save writes a good file and leaves the damaged copy alone.
        ASSERT_TRUE(Fresh->Save());
        EXPECT_EQ(ReadWholeFile(File + ".bad"), Bytes);
        EXPECT_TRUE(LoadedConfig()->GetStartWithWindows());
    }
}

struct TMigrationCase {
    const char* Version; // nullptr: no "Version" attribute
    std::int32_t HotKey5, HotKey6, HotKey10;
    const char* User;
};

class MigrationTest : public ConfigTest, public ::testing::WithParamInterface<TMigrationCase> {};

TEST_P(MigrationTest, ByStoredVersion) {
    const TMigrationCase& Case = GetParam();
    const QString Version = Case.Version ? QStringLiteral(" Version=\"%1\"").arg(Case.Version) : QString();
    const QString Text = QStringLiteral("<?xml version=\"1.0\"?><PixhoardConfig%1>"
                                        "<HotKeys Value5=\"77\" Value6=\"88\" Value10=\"99\"/>"
                                        "<PixhoardUser Active=\"True\" User=\"414243\" Password=\"%2\"/>"
                                        "</PixhoardConfig>")
                             .arg(Version, ScramblePassword(HexEncodeText("pw")));
    WriteWholeFile(NewConfig()->GetFileName(), Text.toUtf8());
    auto Config = LoadedConfig();
    EXPECT_EQ(Config->GetHotKeyValue(5), Case.HotKey5);
    EXPECT_EQ(Config->GetHotKeyValue(6), Case.HotKey6);
    EXPECT_EQ(Config->GetHotKeyValue(10), Case.HotKey10);
    EXPECT_EQ(Config->GetPXHUser(), QString::fromUtf8(Case.User));
    EXPECT_FALSE(QFileInfo::exists(Config->GetFileName() + ".bad"));
}

INSTANTIATE_TEST_SUITE_P(Versions, MigrationTest,
                         ::testing::Values(TMigrationCase{nullptr, 0, 88, 2382, "414243"},
                                           TMigrationCase{"1", 0, 88, 2382, "414243"},
                                           TMigrationCase{"2", 0, 44, 2382, "ABC"},
                                           TMigrationCase{"5", 0, 88, 2382, "ABC"},
                                           TMigrationCase{"6", 77, 88, 99, "ABC"},
                                           TMigrationCase{"7", 77, 88, 99, "ABC"}));

TEST_F(ConfigTest, SaveWithoutAccountClearsItAndNeverSwapsLiveFields) {
    auto Config = LoadedConfig();
    Config->SetPXHUserActive(true);
    Config->SetPXHUser(QStringLiteral("алиса"));
    Config->SetPXHPassword(QStringLiteral("s3cret"));
    ASSERT_TRUE(Config->Save());
    EXPECT_EQ(Config->GetPXHUser(), QStringLiteral("алиса"));
    EXPECT_EQ(Config->GetPXHPassword(), QStringLiteral("s3cret"));
    pugi::xml_document Doc;
    const QByteArray Bytes = ReadWholeFile(Config->GetFileName());
    ASSERT_TRUE(Doc.load_buffer(Bytes.constData(), Bytes.size()));
    EXPECT_STREQ(Doc.select_node("/PixhoardConfig/PixhoardUser").node().attribute("User").value(),
                 "D0B0D0BBD0B8D181D0B0");

    Config->SetPXHUserActive(false);
    EXPECT_EQ(Config->GetUploadServers()->PixhoardHTTPServer()->GetUserName(), QStringLiteral("guest"));
    EXPECT_EQ(Config->GetUploadServers()->PixhoardHTTPServer()->GetPassword(), QStringLiteral("plumb"));
    ASSERT_TRUE(Config->Save());
    EXPECT_EQ(Config->GetPXHUser(), QString());
    EXPECT_EQ(Config->GetPXHPassword(), QString());
    const QByteArray After = ReadWholeFile(Config->GetFileName());
    ASSERT_TRUE(Doc.load_buffer(After.constData(), After.size()));
    const pugi::xml_node User = Doc.select_node("/PixhoardConfig/PixhoardUser").node();
    EXPECT_STREQ(User.attribute("User").value(), "");
    EXPECT_STREQ(User.attribute("Password").value(), "");
}

TEST(PasswordScrambler, RoundTripsAndHidesTheText) {
    // 1, 2 and 3 bytes leave 2, 4 and 0 bits over the last whole character.
    for (const QString& Plain :
         {QString(), QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc"),
          QStringLiteral("pebbleton"), QStringLiteral("пароль"), QStringLiteral("x\U0001F600")}) {
        SCOPED_TRACE(Plain.toStdString());
        const QString Scrambled = ScramblePassword(Plain);
        EXPECT_EQ(Scrambled.size(), (Plain.toUtf8().size() * 8 + 5) / 6);
        EXPECT_EQ(UnscramblePassword(Scrambled), Plain);
        if (Plain.size() > 1) {
            EXPECT_FALSE(Scrambled.contains(Plain));
        }
        for (const QChar Ch : Scrambled)
            EXPECT_TRUE(Ch.isLetterOrNumber() || Ch == '+' || Ch == '/');
    }
    // "secret" fills exactly eight characters, so what follows a foreign character is ignored.
    EXPECT_EQ(UnscramblePassword(ScramblePassword("secret") + "*" + ScramblePassword("tail")),
              QStringLiteral("secret"));
    EXPECT_EQ(HexEncodeText(QStringLiteral("é1")), QStringLiteral("C3A931"));
    EXPECT_EQ(HexDecodeText(QStringLiteral("C3A931")), QStringLiteral("é1"));
    EXPECT_EQ(HexDecodeText(QStringLiteral("4142ZZ43")), QStringLiteral("AB"));
}

TEST(HotKeyText, ModifiersInOrderAndKeyNames) {
    const std::vector<std::pair<std::int32_t, const char*>> Cases = {
        {0, ""},
        {(15 << 8) | 0x70, "Ctrl + Alt + Shift + Win + F1"},
        {(2 << 8) | 0x87, "Ctrl + F24"},
        {(1 << 8) | 0x0D, "Alt + ENTER"},
        {0x2C, "PrtScr"},
        {(4 << 8) | 0xC0, "Shift + ~"},
        {0xDF, "\u00a7"},
        {(8 << 8) | '7', "Win + 7"},
        {(2 << 8) | 0x20, "Ctrl + "},
    };
    for (const auto& [Value, Text] : Cases)
        EXPECT_EQ(HotKeyToText(Value), QString::fromUtf8(Text)) << Value;
}

TEST_F(ConfigTest, AccessorsWithRulesOfTheirOwn) {
    auto Config = LoadedConfig();
    // Hot-key numbers outside 1 to 10.
    Config->SetHotKeyValue(0, 5);
    Config->SetHotKeyValue(11, 5);
    EXPECT_EQ(Config->GetHotKeyValue(0), -1);
    EXPECT_EQ(Config->GetHotKeyValue(11), -1);
    Config->SetHotKey10Value(123);
    EXPECT_EQ(Config->GetHotKeyValue(10), 123);

    // The drop zone stays on a desktop whose left edge is negative.
    Config->SetDesktopInfo(QRect(-1280, 0, 3200, 1080), true);
    const std::vector<std::tuple<int, int, int, int>> Positions = {{5000, 10, 1919, 10},
                                                                   {-5000, 10, -1280, 10},
                                                                   {10, -3, 10, 0},
                                                                   {10, 2000, 10, 1079},
                                                                   {-100, 500, -100, 500}};
    for (const auto& [X, Y, WantX, WantY] : Positions) {
        Config->SetPosXDropBox(X);
        Config->SetPosYDropBox(Y);
        EXPECT_EQ(Config->GetPosXDropBox(), WantX) << X;
        EXPECT_EQ(Config->GetPosYDropBox(), WantY) << Y;
    }
    EXPECT_TRUE(Config->GetPerMonitor());

    for (const auto& [Stored, Read] : {std::pair{-1, 0}, {0, 0}, {3, 3}, {4, 3}}) {
        Config->SetLastSize(Stored);
        EXPECT_EQ(Config->GetLastSize(), Read);
    }
    for (const auto& [Code, Days] : {std::pair{0, 0}, {1, 1}, {2, 7}, {3, 30}, {4, 90}, {5, 0}, {-1, 0}}) {
        Config->SetLastExpire(Code);
        EXPECT_EQ(Config->GetLastExpireDays(), Days) << Code;
    }

    Config->SetSaveFolder(QStringLiteral("  /tmp/shots  "));
    EXPECT_EQ(Config->GetSaveFolder(), QStringLiteral("/tmp/shots/"));
    Config->SetSaveFolder(QString());
    EXPECT_EQ(Config->GetSaveFolder(), QString());
    Config->SetPathTemp(QStringLiteral(" "));
    EXPECT_EQ(Config->GetPathTemp(), Config->GetPathAppData() + "Temp/");
    EXPECT_TRUE(QFileInfo(Config->GetPathTemp()).isDir());

    Config->SetLastCheckUpdateStr(QStringLiteral("checked 2024-01-02 03:04:05"));
    EXPECT_EQ(Config->GetLastCheckUpdateStr(), QStringLiteral("2024-01-02 03:04"));
    Config->SetLastCheckUpdateStr(QStringLiteral("2024-13-02 03:04"));
    EXPECT_FALSE(Config->GetLastCheckUpdate().isValid());

    // No localizer has a language file for 1049 here.
    Config->SetLanguage(1049);
    EXPECT_EQ(Config->GetLanguage(), 1033);
}

TEST_F(ConfigTest, ToolStates) {
    auto Config = LoadedConfig();
    Config->SetLastSize(2);
    Config->SetLastColor(255);
    const std::vector<std::tuple<const char*, int, int, int>> Cases = {
        {"3=2|-16777216", 3, 2, -16777216},
        {"1=1|5~3=0|7", 3, 0, 7},
        {"4=1|5", 3, 2, 255},
        {"3=x|y", 3, 2, 255},
        {"3=", 3, 2, 255},
        {"3=1|zz", 3, 1, 255},
    };
    for (const auto& [Text, Tool, Width, Color] : Cases) {
        Config->SetLastToolStatesStr(Text);
        std::int32_t W = -9, C = -9;
        Config->GetToolState(Tool, W, C);
        EXPECT_EQ(W, Width) << Text;
        EXPECT_EQ(C, Color) << Text;
    }
    Config->SetLastToolStatesStr("1=1|5");
    Config->SetToolState(3, 2, -16777216);
    Config->SetToolState(1, 3, 9);
    EXPECT_EQ(Config->GetLastToolStatesStr(), QStringLiteral("1=3|9~3=2|-16777216"));
}

TEST_F(ConfigTest, PagesCarryThePartnerCode) {
    QDir().mkpath(FRoot.config() + "/Pixhoard");
    WriteWholeFile(FRoot.config() + "/Pixhoard/registry.ini", "[Software\\Pixhoard]\nPartnerCode=p&1 x\n");
    auto Config = LoadedConfig();
    EXPECT_EQ(Config->GetPartnerCode(), QStringLiteral("p&1 x"));
    EXPECT_EQ(Config->GetPartnerCodeParam(), QStringLiteral("code=p%261%20x"));
    Config->SetURLAccount(QStringLiteral("https://svc.example/account?id=5"));
    EXPECT_EQ(Config->GetURLAccount(), QStringLiteral("https://svc.example/account?id=5&code=p%261%20x"));
    EXPECT_EQ(Config->GetURLMyFiles(), QStringLiteral("http://127.0.0.1:47800/members.html?code=p%261%20x"));
    // The stored page is saved as received, so repeated saves do not pile up codes.
    ASSERT_TRUE(Config->Save());
    ASSERT_TRUE(LoadedConfig()->Save());
    EXPECT_EQ(LoadedConfig()->GetURLAccount(),
              QStringLiteral("https://svc.example/account?id=5&code=p%261%20x"));

    // The machine-wide store comes first.
    QDir().mkpath(FRoot.path() + "/xdg/Pixhoard");
    WriteWholeFile(FRoot.path() + "/xdg/Pixhoard/registry.ini",
                   "[software\\pixhoard]\npartnercode=machine\n");
    EXPECT_EQ(LoadedConfig()->GetPartnerCode(), QStringLiteral("machine"));

    QFile::remove(FRoot.path() + "/xdg/Pixhoard/registry.ini");
    QFile::remove(FRoot.config() + "/Pixhoard/registry.ini");
    auto Plain = LoadedConfig();
    EXPECT_EQ(Plain->GetPartnerCodeParam(), QString());
    EXPECT_EQ(Plain->GetURLAccount(), QStringLiteral("https://svc.example/account?id=5"));
}

TEST_F(ConfigTest, LastServerIsTheSendPanelIndex) {
    auto Config = LoadedConfig();
    auto Servers = Config->ServerList();
    auto A = Servers->Add(ustFTP, "A", "", "a", "", "", "", true);
    auto B = Servers->Add(ustFTP, "B", "", "b", "", "", "", true);
    auto C = Servers->Add(ustFTP, "C", "", "c", "", "", "", true);
    struct TCase {
        bool ACheck, BCheck, CCheck;
        IUploadServerPtr Chosen;
        std::int32_t Index;
    };
    const std::vector<TCase> Cases = {
        {true, true, true, B, 3},
        {false, true, true, B, 2},
        {false, false, true, C, 2},
        {true, false, true, B, 0},
        {true, true, true, Servers->PixhoardHTTPServer(), 0},
        {true, true, true, Servers->YaDiskRESTServer(), 1},
        {true, true, true, Servers->PixhoardFTPServer(), 0},
        {true, true, true, IUploadServerPtr(), 0},
    };
    for (const TCase& Case : Cases) {
        A->SetChecked(Case.ACheck);
        B->SetChecked(Case.BCheck);
        C->SetChecked(Case.CCheck);
        Config->SetLastServer(Case.Chosen);
        EXPECT_EQ(Config->GetLastServerIndex(), Case.Index);
        const IUploadServerPtr Back = Config->GetLastServer();
        if (Case.Index == 0)
            EXPECT_EQ(Back, Servers->PixhoardHTTPServer());
        else
            EXPECT_EQ(Back, Case.Chosen);
    }
    Config->SetLastServerIndex(9);
    EXPECT_EQ(Config->GetLastServer(), Servers->PixhoardHTTPServer());
}

TEST_F(ConfigTest, RememberedFolderCountsDownAndIsForgottenAtZero) {
    auto Config = LoadedConfig();
    Config->SetCountdownInterval(40);
    Config->SetLastFolder(QStringLiteral("holiday"));
    Config->SetLastFolderTimeLeft(3);
    EXPECT_EQ(Config->GetLastFolderTimeLeft(), 3);
    std::vector<std::int32_t> Seen;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Config->GetLastFolderTimeLeft() > 0 && std::chrono::steady_clock::now() < Deadline) {
        const std::int32_t Left = Config->GetLastFolderTimeLeft();
        if (Seen.empty() || Seen.back() != Left)
            Seen.push_back(Left);
        QThread::msleep(5);
    }
    EXPECT_EQ(Config->GetLastFolderTimeLeft(), 0);
    EXPECT_EQ(Config->GetLastFolder(), QString());
    EXPECT_TRUE(std::is_sorted(Seen.rbegin(), Seen.rend()));

    // A new value replaces the running countdown: no stale tick of the old one lands later.
    Config->SetLastFolder(QStringLiteral("work"));
    Config->SetCountdownInterval(200);
    Config->SetLastFolderTimeLeft(1);
    Config->SetCountdownInterval(10000);
    Config->SetLastFolderTimeLeft(5);
    QThread::msleep(500);
    EXPECT_EQ(Config->GetLastFolderTimeLeft(), 5);
    EXPECT_EQ(Config->GetLastFolder(), QStringLiteral("work"));
}

} // namespace
} // namespace pxh::test
