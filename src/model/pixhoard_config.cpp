// The configuration: its persistence table, accessors, load and save, and the remembered folder's countdown.
#include "model/pixhoard_config.h"

#include "base/app_paths.h"
#include "base/localizer.h"
#include "base/logger.h"
#include "base/persist_object.h"
#include "model/deployment.h"
#include "model/ini_file.h"
#include "model/locked_accessors.h"
#include "model/minute_text.h"
#include "model/password_scrambler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <condition_variable>
#include <thread>

namespace pxh {

namespace {

constexpr std::int32_t CDefaultHotKeys[CHotKeyCount] = {2113, 3137, 3142, 2392, 0,
                                                        44,   2390, 2383, 2625, 2382};
constexpr std::int32_t CLocaleEnglish = 1033;
constexpr std::int32_t CLocaleRussian = 1049;
constexpr int CTextDefaultAudioIn = 25;

QString WithTrailingSlash(const QString& APath) {
    const QString Trimmed = APath.trimmed();
    if (Trimmed.isEmpty() || Trimmed.endsWith('/'))
        return Trimmed;
    return Trimmed + '/';
}

} // namespace

// The remembered folder's countdown thread; the configuration is reached only through this state,
// which the configuration's destructor disconnects.
// Two locks keep the order one way: the tick takes OwnerLock and then the configuration's lock, while
// the configuration (holding its own lock) only ever takes WaitLock.
struct TPixhoardConfig::TCountdown {
    std::mutex WaitLock;
    std::condition_variable Wake;
    bool Cancelled = false;
    std::mutex OwnerLock;
    TPixhoardConfig* Owner = nullptr;

    void Cancel() {
        std::lock_guard Guard(WaitLock);
        Cancelled = true;
        Wake.notify_all();
    }
    void Disconnect() {
        Cancel();
        std::lock_guard Guard(OwnerLock);
        Owner = nullptr;
    }
};

const TPersistClass& TPixhoardConfig::StaticPersistClass() {
    using C = TPixhoardConfig;
    auto HotKey = [](int AIndex) {
        return std::pair{[AIndex](const C& AConfig) { return AConfig.FHotKeys[AIndex]; },
                         [AIndex](C& AConfig, std::int32_t AValue) { AConfig.FHotKeys[AIndex] = AValue; }};
    };
    TPersistClassBuilder<C> Builder("PixhoardConfig", CConfigVersion);
    Builder.Prop("ReadVersion", &C::FReadVersion, {"PixhoardConfig", "Version", "", true})
        .Prop("PathTemp", &C::FPathTemp, {"General", "TempFolder", "", false})
        .Prop("Language", &C::FLanguage, {"General", "Language", "$0409", true})
        .Prop("StartWithWindows", &C::FStartWithWindows, {"General", "StartWithWindows", true, true})
        .Prop("ShowDropBox", &C::FShowDropBox, {"General", "ShowDropBox", true, true})
        .Prop("InstantUpload", &C::FInstantUpload, {"General", "InstantUpload", false, true})
        .Prop("SilentMode", &C::FSilentMode, {"General", "SilentMode", false, true})
        .Prop("ShowLinkWindow", &C::FShowLinkWindow, {"General", "ShowLinkWindow", false, true})
        .Prop("AutoCheckUpdates", &C::FAutoCheckUpdates, {"General", "AutoCheckUpdates", true, true})
        .Prop("LastCheckUpdateStr", &C::GetLastCheckUpdateStr, &C::SetLastCheckUpdateStr,
              {"General", "LastCheckUpdate", "", true})
        .Prop("ShortLinks", &C::FShortLinks, {"General", "ShortLinks", true, true})
        .Prop("ShowHints", &C::FShowHints, {"General", "ShowHints", true, true})
        .Prop("PlaySounds", &C::FPlaySounds, {"General", "PlaySounds", false, true})
        .Prop("SaveToDisc", &C::FSaveToDisc, {"General", "SaveToDisc", false, true})
        .Prop("SaveFolder", &C::FSaveFolder, {"General", "SaveFolder", "", false})
        .Prop("TrayAction", &C::FTrayAction, {"General", "TrayAction", 1, true})
        .Prop("DPIAware", &C::FDPIAware, {"General", "DPIAware", false, true})
        .Prop("DPIScale", &C::FDPIScale, {"General", "DPIScale", false, true})
        .Prop("ShowTutorial", &C::FShowTutorial, {"Tutorial", "ShowTutorial", false, true})
        .Prop("ShowEditImageTip", &C::FShowEditImageTip, {"Tutorial", "ShowEditImageTip", false, true})
        .Prop("PosXDropBox", &C::FPosXDropBox, {"Screen", "PosXDropBox", 0, true})
        .Prop("PosYDropBox", &C::FPosYDropBox, {"Screen", "PosYDropBox", 0, true})
        .Prop("MenuHeight", &C::FMenuHeight, {"Screen", "MenuHeight", 500, true});
    for (int I = 0; I < CHotKeyCount; ++I) {
        auto [Get, Set] = HotKey(I);
        Builder.Prop(QStringLiteral("HotKey%1Value").arg(I + 1), Get, Set,
                     {"HotKeys", QStringLiteral("Value%1").arg(I + 1), CDefaultHotKeys[I], true});
    }
    Builder.Prop("ShowZoomTool", &C::FShowZoomTool, {"Capture", "ShowZoomTool", true, true})
        .Prop("ShowSizePane", &C::FShowSizePane, {"Capture", "ShowSizePane", true, true})
        .Prop("UploadServers", [](const C& AConfig) { return AConfig.FUploadServers; }, nullptr,
              {"Upload", "UploadServers", "", false})
        .Prop("UploadQuality", &C::FUploadQuality, {"Upload", "ImageQuality", 8, true})
        .Prop("UploadFormat", &C::FUploadFormat, {"Upload", "ImageFormat", 0, true})
        .Prop("UploadFolders", &C::FUploadFolders, {"Upload", "Folders", "", false})
        .Prop("UploadYandexToken", &C::FUploadYandexToken, {"UploadDisks", "YandexToken", "", true})
        .Prop("UploadYandexTokenExpire", &C::FUploadYandexTokenExpire,
              {"UploadDisks", "YandexTokenExpire", "0", true})
        .Prop("UploadYandexLogin", &C::FUploadYandexLogin, {"UploadDisks", "YandexLogin", "", true})
        .Prop("UploadYandexFree", &C::FUploadYandexFree, {"UploadDisks", "YandexFree", "", true})
        .Prop("UploadYandexUsed", &C::FUploadYandexUsed, {"UploadDisks", "YandexUsed", "", true})
        .Prop("UploadGoogleToken", &C::FUploadGoogleToken, {"UploadDisks", "GoogleToken", "", true})
        .Prop("UploadGoogleTokenExpire", &C::FUploadGoogleTokenExpire,
              {"UploadDisks", "GoogleTokenExpire", "0", true})
        .Prop("ProxyActive", &C::FProxyActive, {"Proxy", "Active", false, true})
        .Prop("ProxyHost", &C::FProxyHost, {"Proxy", "Host", "", true})
        .Prop("ProxyPort", &C::FProxyPort, {"Proxy", "Port", "", true})
        .Prop("ProxyAuthorization", &C::FProxyAuthorization, {"Proxy", "Authorization", false, true})
        .Prop("ProxyUser", &C::FProxyUser, {"Proxy", "User", "", true})
        .Prop(
            "ProxyPasswordCrypted", [](const C& AConfig) { return ScramblePassword(AConfig.FProxyPassword); },
            [](C& AConfig, const QString& AValue) { AConfig.FProxyPassword = UnscramblePassword(AValue); },
            {"Proxy", "Password", "", true})
        .Prop("PXHUserActive", &C::FPXHUserActive, {1, "PixhoardUser", "Active", false, true})
        // The account is written from a snapshot in its stored forms; the live fields stay plain.
        .Prop(
            "PXHUser",
            [](const C& AConfig) {
                return AConfig.FPXHUserActive ? HexEncodeText(AConfig.FPXHUser) : QString();
            },
            [](C& AConfig, const QString& AValue) { AConfig.FPXHUser = AValue; },
            {2, "PixhoardUser", "User", "", true})
        .Prop(
            "PXHPasswordCrypted",
            [](const C& AConfig) {
                return ScramblePassword(AConfig.FPXHUserActive ? HexEncodeText(AConfig.FPXHPassword)
                                                               : QString());
            },
            [](C& AConfig, const QString& AValue) { AConfig.FPXHPassword = UnscramblePassword(AValue); },
            {3, "PixhoardUser", "Password", "", true})
        .Prop("URLMyFiles", &C::FURLMyFiles, {"PixhoardUser", "URLMyFiles", "", false})
        .Prop("URLAccount", &C::FURLAccount, {"PixhoardUser", "URLAccount", "", false})
        .Prop("LastServerIndex", &C::FLastServerIndex, {"LastSelected", "Server", 0, true})
        .Prop("LastFolder", &C::FLastFolder, {"LastSelected", "Folder", "", true})
        .Prop("LastFolderTimeLeft", &C::FLastFolderTimeLeft, {"LastSelected", "FolderTimeLeft", 10, true})
        .Prop("LastSavePath", &C::FLastSavePath, {"LastSelected", "SavePath", "", false})
        .Prop("LastAudioInName", &C::FLastAudioInName, {"LastSelected", "AudioInName", "", false})
        .Prop("LastAudioIn", &C::FLastAudioIn, {"LastSelected", "AudioIn", 0, true})
        .Prop("LastColor", &C::FLastColor, {"LastSelected", "Color", "$FFD60808", true})
        .Prop("LastSize", &C::FLastSize, {"LastSelected", "Size", 1, true})
        .Prop("LastTool", &C::FLastTool, {"LastSelected", "Tool", 1, true})
        .Prop("LastExpire", &C::FLastExpire, {"LastSelected", "Expire", 3, true})
        .Prop("LastPackFiles", &C::FLastPackFiles, {"LastSelected", "PackFiles", true, true})
        .Prop(
            "LastToolStatesStr", [](const C& AConfig) { return AConfig.FToolStates.join('~'); },
            [](C& AConfig, const QString& AValue) {
                AConfig.FToolStates = AValue.split('~', Qt::SkipEmptyParts);
            },
            {"LastSelected", "ToolStates", "", false})
        .Prop("LastFPS", &C::FLastFPS, {"Video", "FPS", 15, true})
        .Prop("LastVideoQuality", &C::FLastVideoQuality, {"Video", "Quality", 15, true})
        .Prop("LastVideoFormat", &C::FLastVideoFormat, {"Video", "Format", 0, true})
        .Prop("LastShowMouse", &C::FLastShowMouse, {"Video", "ShowMouse", false, true})
        .Prop("LastShowCursor", &C::FLastShowCursor, {"Video", "ShowCursor", true, true})
        .Prop("LastShowKeys", &C::FLastShowKeys, {"Video", "ShowKeys", false, true})
        .Prop("LastAccelerate", &C::FLastAccelerate, {"Video", "Accelerate", 1, true})
        .Prop("LastWithAudio", &C::FLastWithAudio, {"Video", "WithAudio", false, true});
    static const TPersistClass Class = std::move(Builder);
    return Class;
}

TPixhoardConfig::TPixhoardConfig()
    : FFileName(PathAppData() + QStringLiteral("Pixhoard.cfg"))
    , FUploadServers(MakeInterfaced<TUploadServerList>()) {
    EnsurePrivateFolder(PathAppData());
}

TPixhoardConfig::~TPixhoardConfig() {
    if (FCountdown)
        FCountdown->Disconnect();
}

void TPixhoardConfig::ReadPartnerCode() {
    QString Code;
    try {
        const QString Key = QStringLiteral("Software\\Pixhoard");
        const QString Name = QStringLiteral("PartnerCode");
        Code = ReadIniValue(MachineKeyStoreFile(), Key, Name).value_or(QString());
        if (Code.isEmpty())
            Code = ReadIniValue(UserKeyStoreFile(), Key, Name).value_or(QString());
    } catch (...) {
        ZRLogException(std::current_exception(),
                       QStringLiteral(" TPixhoardConfig.Load: Error reading partner code from registry "));
    }
    TLockGuard Guard(*this);
    FPartnerCode = Code;
}

void TPixhoardConfig::ChooseFirstStartLanguage() {
    FLanguage = QLocale().name().startsWith(QLatin1String("ru"), Qt::CaseInsensitive) ? CLocaleRussian
                                                                                      : CLocaleEnglish;
}

void TPixhoardConfig::Load() {
    ReadPartnerCode();
    bool FirstStart = false;
    {
        TLockGuard Guard(*this);
        // Defaults first, so that a file that cannot be read leaves defaults rather than zeros.
        FUploadServers->Clear();
        TPersistObject::SetDefault(*this);
        if (!QFileInfo::exists(FFileName)) {
            FirstStart = true;
            ChooseFirstStartLanguage();
            std::copy(std::begin(CDefaultHotKeys), std::end(CDefaultHotKeys), std::begin(FHotKeys));
        } else {
            QFile File(FFileName);
            try {
                if (!File.open(QIODevice::ReadOnly))
                    throw EPersistError(File.errorString());
                TPersistObject::FromXMLBytes(*this, File.readAll());
                if (FReadVersion > 1 && FPXHUserActive) {
                    FPXHUser = HexDecodeText(FPXHUser);
                    FPXHPassword = HexDecodeText(FPXHPassword);
                }
                if (FReadVersion == 2)
                    FHotKeys[5] = 44;
                if (FReadVersion < 6) {
                    FHotKeys[4] = 0;
                    FHotKeys[9] = 2382;
                }
            } catch (...) {
                ZRLogException(std::current_exception(),
                               QStringLiteral(" TPixhoardConfig.Load ") + FFileName);
                File.close();
                const QString Bad = FFileName + QStringLiteral(".bad");
                QFile::remove(Bad);
                if (!QFile::rename(FFileName, Bad))
                    ZRLog(QStringLiteral("TPixhoardConfig.Load: can't keep the damaged file as ") + Bad);
                FUploadServers->Clear();
                TPersistObject::SetDefault(*this);
                ChooseFirstStartLanguage();
            }
        }
    }
    if (FirstStart)
        Save();
}

bool TPixhoardConfig::Save() {
    QByteArray Data;
    {
        TLockGuard Guard(*this);
        FReadVersion = CConfigVersion;
        try {
            Data = TPersistObject::ToXMLBytes(*this);
        } catch (...) {
            ZRLogException(std::current_exception(), QStringLiteral(" TPixhoardConfig.Save"));
            return false;
        }
        if (!FPXHUserActive) {
            FPXHUser.clear();
            FPXHPassword.clear();
        }
    }
    EnsurePrivateFolder(QFileInfo(FFileName).absolutePath());
    QSaveFile File(FFileName);
    if (!File.open(QIODevice::WriteOnly) || File.write(Data) != Data.size() ||
        !File.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) || !File.commit()) {
        ZRLog(QStringLiteral("TPixhoardConfig.Save: can't write \"%1\": %2")
                  .arg(FFileName, File.errorString()));
        return false;
    }
    return true;
}

QString TPixhoardConfig::GetPathAppData() const {
    const QString Path = PathAppData();
    EnsurePrivateFolder(Path);
    return Path;
}

QString TPixhoardConfig::GetPathTemp() const {
    QString Path;
    {
        TLockGuard Guard(*this);
        Path = WithTrailingSlash(FPathTemp);
    }
    if (Path.isEmpty())
        Path = GetPathAppData() + QStringLiteral("Temp/");
    QDir().mkpath(Path);
    return Path;
}

void TPixhoardConfig::SetPathTemp(const QString& AValue) {
    TLockGuard Guard(*this);
    FPathTemp = AValue;
}

void TPixhoardConfig::SetLanguage(std::int32_t AValue) {
    const std::shared_ptr<ILocalizer> Localizer = GlobalLocalizer();
    if (!Localizer || !Localizer->Languages() || !Localizer->Languages()->HasLanguage(AValue))
        return;
    {
        TLockGuard Guard(*this);
        FLanguage = AValue;
    }
    Localizer->SetLocaleID(AValue);
}

std::int32_t TPixhoardConfig::GetLanguage() const {
    TLockGuard Guard(*this);
    return FLanguage;
}

#define PXH_DEFINE_PLAIN(Type, Name)                                                                         \
    PXH_LOCKED_GETTER(TPixhoardConfig, Type, Name)                                                           \
    PXH_LOCKED_SETTER(TPixhoardConfig, const Type&, Name)
PXH_CONFIG_PLAIN_SETTINGS(PXH_DEFINE_PLAIN)
#undef PXH_DEFINE_PLAIN

QString TPixhoardConfig::GetSaveFolder() const {
    TLockGuard Guard(*this);
    return WithTrailingSlash(FSaveFolder);
}

void TPixhoardConfig::SetSaveFolder(const QString& AValue) {
    TLockGuard Guard(*this);
    FSaveFolder = AValue;
}

bool TPixhoardConfig::GetPerMonitor() const {
    TLockGuard Guard(*this);
    return FPerMonitor;
}

void TPixhoardConfig::SetDesktopInfo(const QRect& AVirtualDesktop, bool APerMonitor) {
    TLockGuard Guard(*this);
    FVirtualDesktop = AVirtualDesktop;
    FPerMonitor = APerMonitor;
}

std::int32_t TPixhoardConfig::ClampX(std::int32_t AValue) const {
    if (FVirtualDesktop.isEmpty())
        return AValue;
    return std::clamp(AValue, FVirtualDesktop.left(), FVirtualDesktop.right());
}

std::int32_t TPixhoardConfig::ClampY(std::int32_t AValue) const {
    if (FVirtualDesktop.isEmpty())
        return AValue;
    return std::clamp(AValue, FVirtualDesktop.top(), FVirtualDesktop.bottom());
}

std::int32_t TPixhoardConfig::GetPosXDropBox() const {
    TLockGuard Guard(*this);
    return ClampX(FPosXDropBox);
}

void TPixhoardConfig::SetPosXDropBox(std::int32_t AValue) {
    TLockGuard Guard(*this);
    FPosXDropBox = ClampX(AValue);
}

std::int32_t TPixhoardConfig::GetPosYDropBox() const {
    TLockGuard Guard(*this);
    return ClampY(FPosYDropBox);
}

void TPixhoardConfig::SetPosYDropBox(std::int32_t AValue) {
    TLockGuard Guard(*this);
    FPosYDropBox = ClampY(AValue);
}

std::int32_t TPixhoardConfig::GetHotKeyValue(int AKey) const {
    if (AKey < 1 || AKey > CHotKeyCount)
        return -1;
    TLockGuard Guard(*this);
    return FHotKeys[AKey - 1];
}

void TPixhoardConfig::SetHotKeyValue(int AKey, std::int32_t AValue) {
    if (AKey < 1 || AKey > CHotKeyCount)
        return;
    TLockGuard Guard(*this);
    FHotKeys[AKey - 1] = AValue;
}

IUploadServerListPtr TPixhoardConfig::GetUploadServers() const {
    return IUploadServerListPtr(FUploadServers.get());
}

bool TPixhoardConfig::GetPXHUserActive() const {
    TLockGuard Guard(*this);
    return FPXHUserActive;
}

void TPixhoardConfig::SetPXHUserActive(bool AValue) {
    {
        TLockGuard Guard(*this);
        FPXHUserActive = AValue;
    }
    if (!AValue) {
        const IUploadServerPtr Service = FUploadServers->PixhoardHTTPServer();
        Service->SetUserName(QStringLiteral("guest"));
        Service->SetPassword(QStringLiteral("plumb"));
    }
}

void TPixhoardConfig::SetLastServer(const IUploadServerPtr& AServer) {
    std::int32_t Index = 0;
    if (AServer.get() == FUploadServers->YaDiskRESTServer().get()) {
        Index = 1;
    } else if (AServer && !FUploadServers->IsBuiltIn(AServer.get())) {
        std::int32_t Checked = 0;
        for (const TIntrusivePtr<TUploadServer>& Item : FUploadServers->Items()) {
            if (!Item->GetChecked())
                continue;
            ++Checked;
            if (Item.get() == AServer.get()) {
                Index = Checked + 1;
                break;
            }
        }
    }
    TLockGuard Guard(*this);
    FLastServerIndex = Index;
}

IUploadServerPtr TPixhoardConfig::GetLastServer() const {
    const std::int32_t Index = GetLastServerIndex();
    if (Index == 1)
        return FUploadServers->YaDiskRESTServer();
    if (Index >= 2) {
        std::int32_t Checked = 0;
        for (const TIntrusivePtr<TUploadServer>& Item : FUploadServers->Items())
            if (Item->GetChecked() && ++Checked == Index - 1)
                return IUploadServerPtr(Item.get());
    }
    return FUploadServers->PixhoardHTTPServer();
}

std::int32_t TPixhoardConfig::GetLastFolderTimeLeft() const {
    TLockGuard Guard(*this);
    return FLastFolderTimeLeft;
}

void TPixhoardConfig::SetLastFolderTimeLeft(std::int32_t AValue) {
    TLockGuard Guard(*this);
    FLastFolderTimeLeft = AValue;
    StartCountdownLocked(AValue);
}

void TPixhoardConfig::SetMainThreadDispatcher(TMainThreadDispatcher ADispatcher) {
    TLockGuard Guard(*this);
    FDispatcher = std::move(ADispatcher);
}

void TPixhoardConfig::SetCountdownInterval(std::uint32_t AMilliseconds) {
    TLockGuard Guard(*this);
    FCountdownInterval = std::max<std::uint32_t>(1, AMilliseconds);
}

void TPixhoardConfig::StartCountdownLocked(std::int32_t AMinutes) {
    if (FCountdown)
        FCountdown->Cancel();
    FCountdown.reset();
    const std::uint64_t Generation = ++FCountdownGeneration;
    if (AMinutes <= 0)
        return;
    auto State = std::make_shared<TCountdown>();
    State->Owner = this;
    FCountdown = State;
    const std::uint32_t Interval = FCountdownInterval;
    const std::int64_t Budget = static_cast<std::int64_t>(AMinutes) * Interval;
    TMainThreadDispatcher Dispatcher = FDispatcher;
    std::thread([State, Generation, Interval, Budget, Dispatcher] {
        std::int64_t Remaining = Budget;
        while (Remaining > 0) {
            {
                std::unique_lock Guard(State->WaitLock);
                if (State->Wake.wait_for(Guard, std::chrono::milliseconds(Interval),
                                         [&State] { return State->Cancelled; }))
                    return;
            }
            Remaining = std::max<std::int64_t>(0, Remaining - Interval);
            if (QCoreApplication::closingDown())
                return;
            auto Tick = [State, Generation, Remaining] {
                std::lock_guard Guard(State->OwnerLock);
                if (State->Owner)
                    State->Owner->ApplyCountdownTick(Generation, Remaining);
            };
            if (Dispatcher)
                Dispatcher(Tick);
            else
                Tick();
        }
    }).detach();
}

void TPixhoardConfig::ApplyCountdownTick(std::uint64_t AGeneration, std::int64_t ARemaining) {
    TLockGuard Guard(*this);
    // A tick queued by a countdown that has since been replaced is dropped.
    if (AGeneration != FCountdownGeneration)
        return;
    FLastFolderTimeLeft = static_cast<std::int32_t>(ARemaining / FCountdownInterval);
    if (ARemaining <= 0)
        FLastFolder.clear();
}

std::int32_t TPixhoardConfig::GetLastSize() const {
    TLockGuard Guard(*this);
    return std::clamp(FLastSize, 0, 3);
}

void TPixhoardConfig::SetLastSize(std::int32_t AValue) {
    TLockGuard Guard(*this);
    FLastSize = AValue;
}

int TPixhoardConfig::GetLastExpireDays() const {
    switch (GetLastExpire()) {
    case 1:
        return 1;
    case 2:
        return 7;
    case 3:
        return 30;
    case 4:
        return 90;
    default:
        return 0;
    }
}

void TPixhoardConfig::GetToolState(std::int32_t ATool, std::int32_t& AWidth, std::int32_t& AColor) const {
    TLockGuard Guard(*this);
    AWidth = std::clamp(FLastSize, 0, 3);
    AColor = FLastColor;
    const QString Prefix = QString::number(ATool) + '=';
    for (const QString& Entry : FToolStates) {
        if (!Entry.startsWith(Prefix))
            continue;
        const QString Value = Entry.mid(Prefix.size());
        bool Ok = false;
        const int Width = Value.left(1).toInt(&Ok);
        if (Ok)
            AWidth = Width;
        const int Color = Value.mid(2).toInt(&Ok);
        if (Ok)
            AColor = Color;
        return;
    }
}

void TPixhoardConfig::SetToolState(std::int32_t ATool, std::int32_t AWidth, std::int32_t AColor) {
    TLockGuard Guard(*this);
    const QString Prefix = QString::number(ATool) + '=';
    const QString Entry = Prefix + QStringLiteral("%1|%2").arg(AWidth).arg(AColor);
    for (QString& Existing : FToolStates) {
        if (Existing.startsWith(Prefix)) {
            Existing = Entry;
            return;
        }
    }
    FToolStates.append(Entry);
}

QString TPixhoardConfig::GetLastToolStatesStr() const {
    TLockGuard Guard(*this);
    return FToolStates.join('~');
}

void TPixhoardConfig::SetLastToolStatesStr(const QString& AValue) {
    TLockGuard Guard(*this);
    FToolStates = AValue.split('~', Qt::SkipEmptyParts);
}

QString TPixhoardConfig::GetLastCheckUpdateStr() const {
    TLockGuard Guard(*this);
    return DateTimeToMinuteText(FLastCheckUpdate);
}

void TPixhoardConfig::SetLastCheckUpdateStr(const QString& AValue) {
    const QDateTime Value = MinuteTextToDateTime(AValue);
    TLockGuard Guard(*this);
    FLastCheckUpdate = Value;
}

QString TPixhoardConfig::GetLastAudioInName() const {
    TAudioInputQuery Query;
    QString Stored;
    {
        TLockGuard Guard(*this);
        Query = FAudioInputQuery;
        Stored = FLastAudioInName;
    }
    // The sound server is asked outside the lock.
    const TAudioInputs Inputs = Query ? Query() : TAudioInputs{};
    if (!Stored.isEmpty() && Inputs.Names.contains(Stored))
        return Stored;
    if (!Inputs.DefaultName.isEmpty())
        return Inputs.DefaultName;
    return LocalizedText(CTextDefaultAudioIn);
}

void TPixhoardConfig::SetLastAudioInName(const QString& AValue) {
    const QString Value = AValue.isEmpty() ? LocalizedText(CTextDefaultAudioIn) : AValue;
    TLockGuard Guard(*this);
    FLastAudioInName = Value;
}

void TPixhoardConfig::SetAudioInputQuery(TAudioInputQuery AQuery) {
    TLockGuard Guard(*this);
    FAudioInputQuery = std::move(AQuery);
}

QString TPixhoardConfig::PageWithPartnerCode(const QString& AStored, const QString& AFixedPage) const {
    QString Page = AStored.isEmpty() ? TDeployment::Current().ServiceURL(AFixedPage) : AStored;
    const QString Code = GetPartnerCode();
    if (Code.isEmpty())
        return Page;
    Page += Page.contains('?') ? '&' : '?';
    return Page + GetPartnerCodeParam();
}

QString TPixhoardConfig::GetURLMyFiles() const {
    TLockGuard Guard(*this);
    return PageWithPartnerCode(FURLMyFiles, QStringLiteral("members.html"));
}

void TPixhoardConfig::SetURLMyFiles(const QString& AValue) {
    TLockGuard Guard(*this);
    FURLMyFiles = AValue;
}

QString TPixhoardConfig::GetURLAccount() const {
    TLockGuard Guard(*this);
    return PageWithPartnerCode(FURLAccount, QStringLiteral("account.html"));
}

void TPixhoardConfig::SetURLAccount(const QString& AValue) {
    TLockGuard Guard(*this);
    FURLAccount = AValue;
}

QString TPixhoardConfig::GetPartnerCode() const {
    TLockGuard Guard(*this);
    return FPartnerCode;
}

QString TPixhoardConfig::GetPartnerCodeParam() const {
    const QString Code = GetPartnerCode();
    if (Code.isEmpty())
        return QString();
    return QStringLiteral("code=") + QString::fromLatin1(QUrl::toPercentEncoding(Code));
}

std::int32_t TPixhoardConfig::GetReadVersion() const {
    TLockGuard Guard(*this);
    return FReadVersion;
}

} // namespace pxh
