// The configuration: every user setting and remembered state, behind IConfig, stored in "Pixhoard.cfg".
#pragma once

#include "base/interfaced_object.h"
#include "base/persist_class.h"
#include "base/system_utils.h"
#include "model/upload_server.h"

#include <QDateTime>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

namespace pxh {

// Settings whose accessors do nothing beyond a locked copy: (type, name).
#define PXH_CONFIG_PLAIN_SETTINGS(X)                                                                         \
    X(bool, StartWithWindows)                                                                                \
    X(bool, ShowDropBox)                                                                                     \
    X(bool, InstantUpload)                                                                                   \
    X(bool, SilentMode)                                                                                      \
    X(bool, ShowLinkWindow)                                                                                  \
    X(bool, AutoCheckUpdates)                                                                                \
    X(bool, ShortLinks)                                                                                      \
    X(bool, ShowHints)                                                                                       \
    X(bool, PlaySounds)                                                                                      \
    X(bool, SaveToDisc)                                                                                      \
    X(std::int32_t, TrayAction)                                                                              \
    X(bool, DPIAware)                                                                                        \
    X(bool, DPIScale)                                                                                        \
    X(bool, ShowTutorial)                                                                                    \
    X(bool, ShowEditImageTip)                                                                                \
    X(std::int32_t, MenuHeight)                                                                              \
    X(bool, ShowZoomTool)                                                                                    \
    X(bool, ShowSizePane)                                                                                    \
    X(std::int32_t, UploadQuality)                                                                           \
    X(std::int32_t, UploadFormat)                                                                            \
    X(QString, UploadFolders)                                                                                \
    X(QString, UploadYandexToken)                                                                            \
    X(QDateTime, UploadYandexTokenExpire)                                                                    \
    X(QString, UploadYandexLogin)                                                                            \
    X(std::int64_t, UploadYandexFree)                                                                        \
    X(std::int64_t, UploadYandexUsed)                                                                        \
    X(QString, UploadGoogleToken)                                                                            \
    X(QDateTime, UploadGoogleTokenExpire)                                                                    \
    X(bool, ProxyActive)                                                                                     \
    X(QString, ProxyHost)                                                                                    \
    X(std::int32_t, ProxyPort)                                                                               \
    X(bool, ProxyAuthorization)                                                                              \
    X(QString, ProxyUser)                                                                                    \
    X(QString, ProxyPassword)                                                                                \
    X(QString, PXHUser)                                                                                      \
    X(QString, PXHPassword)                                                                                  \
    X(std::int32_t, LastServerIndex)                                                                         \
    X(QString, LastFolder)                                                                                   \
    X(std::int32_t, LastColor)                                                                               \
    X(std::int32_t, LastTool)                                                                                \
    X(QDateTime, LastCheckUpdate)                                                                            \
    X(std::int32_t, LastExpire)                                                                              \
    X(bool, LastPackFiles)                                                                                   \
    X(float, LastFPS)                                                                                        \
    X(std::int32_t, LastVideoQuality)                                                                        \
    X(std::int32_t, LastVideoFormat)                                                                         \
    X(std::int32_t, LastAudioIn)                                                                             \
    X(bool, LastShowMouse)                                                                                   \
    X(bool, LastShowCursor)                                                                                  \
    X(bool, LastShowKeys)                                                                                    \
    X(float, LastAccelerate)                                                                                 \
    X(bool, LastWithAudio)                                                                                   \
    X(QString, LastSavePath)                                                                                 \
    X(bool, CapturePinned)                                                                                   \
    X(QRectF, CaptureRect)

// Hot keys 1 to 10.
#define PXH_CONFIG_HOT_KEYS(X) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10)

constexpr int CHotKeyCount = 10;
constexpr std::int32_t CConfigVersion = 7;

class IConfig : public virtual IInterface {
public:
    virtual void Load() = 0;
    // False (and logged) when the file could not be written; the previous file then stays.
    virtual bool Save() = 0;
    virtual QString GetFileName() const = 0;
    virtual QString GetPathAppData() const = 0;
    virtual QString GetPathTemp() const = 0;
    virtual void SetPathTemp(const QString& AValue) = 0;
    virtual void SetLanguage(std::int32_t AValue) = 0;
    virtual std::int32_t GetLanguage() const = 0;

#define PXH_DECLARE_ABSTRACT(Type, Name)                                                                     \
    virtual Type Get##Name() const = 0;                                                                      \
    virtual void Set##Name(const Type& AValue) = 0;
    PXH_CONFIG_PLAIN_SETTINGS(PXH_DECLARE_ABSTRACT)
#undef PXH_DECLARE_ABSTRACT

    virtual QString GetSaveFolder() const = 0;
    virtual void SetSaveFolder(const QString& AValue) = 0;
    virtual bool GetPerMonitor() const = 0;
    virtual std::int32_t GetPosXDropBox() const = 0;
    virtual void SetPosXDropBox(std::int32_t AValue) = 0;
    virtual std::int32_t GetPosYDropBox() const = 0;
    virtual void SetPosYDropBox(std::int32_t AValue) = 0;
    // Keys 1 to 10; any other number reads -1 and is ignored on writing.
    virtual std::int32_t GetHotKeyValue(int AKey) const = 0;
    virtual void SetHotKeyValue(int AKey, std::int32_t AValue) = 0;
#define PXH_DECLARE_HOT_KEY(N)                                                                               \
    std::int32_t GetHotKey##N##Value() const {                                                               \
        return GetHotKeyValue(N);                                                                            \
    }                                                                                                        \
    void SetHotKey##N##Value(std::int32_t AValue) {                                                          \
        SetHotKeyValue(N, AValue);                                                                           \
    }
    PXH_CONFIG_HOT_KEYS(PXH_DECLARE_HOT_KEY)
#undef PXH_DECLARE_HOT_KEY
    virtual IUploadServerListPtr GetUploadServers() const = 0;
    virtual bool GetPXHUserActive() const = 0;
    virtual void SetPXHUserActive(bool AValue) = 0;
    virtual void SetLastServer(const IUploadServerPtr& AServer) = 0;
    virtual IUploadServerPtr GetLastServer() const = 0;
    virtual std::int32_t GetLastFolderTimeLeft() const = 0;
    virtual void SetLastFolderTimeLeft(std::int32_t AValue) = 0;
    virtual std::int32_t GetLastSize() const = 0;
    virtual void SetLastSize(std::int32_t AValue) = 0;
    virtual int GetLastExpireDays() const = 0;
    virtual void GetToolState(std::int32_t ATool, std::int32_t& AWidth, std::int32_t& AColor) const = 0;
    virtual void SetToolState(std::int32_t ATool, std::int32_t AWidth, std::int32_t AColor) = 0;
    virtual QString GetLastAudioInName() const = 0;
    virtual void SetLastAudioInName(const QString& AValue) = 0;
    virtual QString GetURLMyFiles() const = 0;
    virtual void SetURLMyFiles(const QString& AValue) = 0;
    virtual QString GetURLAccount() const = 0;
    virtual void SetURLAccount(const QString& AValue) = 0;
    virtual QString GetPartnerCode() const = 0;
    virtual QString GetPartnerCodeParam() const = 0;
};
using IConfigPtr = TIntrusivePtr<IConfig>;

// The sound inputs the system offers, asked outside the configuration's lock.
struct TAudioInputs {
    QString DefaultName;
    QStringList Names;
};
using TAudioInputQuery = std::function<TAudioInputs()>;
// Runs a call on the UI thread (the countdown's tick); direct when unset.
using TMainThreadDispatcher = std::function<void(std::function<void()>)>;

class TPixhoardConfig : public TInterfacedObjectKVB, public IConfig {
public:
    PXH_PERSISTENT();

    // Fixes the file name in the data folder and creates that folder; nothing is read until Load.
    TPixhoardConfig();
    ~TPixhoardConfig() override;

    // Applies the defaults, then reads the file. A first start saves the defaults at once; a file that
    // cannot be read is kept as "Pixhoard.cfg.bad" and the defaults stay.
    void Load() override;
    bool Save() override;
    QString GetFileName() const override { return FFileName; }
    QString GetPathAppData() const override;
    QString GetPathTemp() const override;
    void SetPathTemp(const QString& AValue) override;
    // Stored only when a language file exists for that locale; switches the localizer too.
    void SetLanguage(std::int32_t AValue) override;
    std::int32_t GetLanguage() const override;

#define PXH_DECLARE_OVERRIDE(Type, Name)                                                                     \
    Type Get##Name() const override;                                                                         \
    void Set##Name(const Type& AValue) override;
    PXH_CONFIG_PLAIN_SETTINGS(PXH_DECLARE_OVERRIDE)
#undef PXH_DECLARE_OVERRIDE

    // Trimmed with a trailing "/"; empty stays empty.
    QString GetSaveFolder() const override;
    void SetSaveFolder(const QString& AValue) override;
    bool GetPerMonitor() const override;
    std::int32_t GetPosXDropBox() const override;
    void SetPosXDropBox(std::int32_t AValue) override;
    std::int32_t GetPosYDropBox() const override;
    void SetPosYDropBox(std::int32_t AValue) override;
    std::int32_t GetHotKeyValue(int AKey) const override;
    void SetHotKeyValue(int AKey, std::int32_t AValue) override;
    IUploadServerListPtr GetUploadServers() const override;
    TIntrusivePtr<TUploadServerList> ServerList() const {
        return FUploadServers;
    }
    bool GetPXHUserActive() const override;
    // Switching the account off makes the service destination the guest again.
    void SetPXHUserActive(bool AValue) override;
    // The send panel's destination index: 0 the service, 1 the cloud disk, k >= 2 the (k-1)-th checked
    // user destination; anything else gives the service.
    void SetLastServer(const IUploadServerPtr& AServer) override;
    IUploadServerPtr GetLastServer() const override;
    std::int32_t GetLastFolderTimeLeft() const override;
    // Restarts the countdown of the remembered folder; at 0 the folder is forgotten.
    void SetLastFolderTimeLeft(std::int32_t AValue) override;
    std::int32_t GetLastSize() const override;
    void SetLastSize(std::int32_t AValue) override;
    int GetLastExpireDays() const override;
    void GetToolState(std::int32_t ATool, std::int32_t& AWidth, std::int32_t& AColor) const override;
    void SetToolState(std::int32_t ATool, std::int32_t AWidth, std::int32_t AColor) override;
    QString GetLastToolStatesStr() const;
    void SetLastToolStatesStr(const QString& AValue);
    QString GetLastCheckUpdateStr() const;
    void SetLastCheckUpdateStr(const QString& AValue);
    // The stored name when such an input exists, else the default input, else text 25.
    QString GetLastAudioInName() const override;
    void SetLastAudioInName(const QString& AValue) override;
    // The stored page (or the service's fixed page) with the partner code as a query parameter.
    QString GetURLMyFiles() const override;
    void SetURLMyFiles(const QString& AValue) override;
    QString GetURLAccount() const override;
    void SetURLAccount(const QString& AValue) override;
    QString GetPartnerCode() const override;
    QString GetPartnerCodeParam() const override;
    std::int32_t GetReadVersion() const;

    // Kept by the UI thread, which alone may ask the screens.
    void SetDesktopInfo(const QRect& AVirtualDesktop, bool APerMonitor);
    void SetAudioInputQuery(TAudioInputQuery AQuery);
    void SetMainThreadDispatcher(TMainThreadDispatcher ADispatcher);
    // The countdown's step, one "minute" (60000 ms; tests shorten it).
    void SetCountdownInterval(std::uint32_t AMilliseconds);

private:
    struct TCountdown;

    QString PageWithPartnerCode(const QString& AStored, const QString& AFixedPage) const;
    std::int32_t ClampX(std::int32_t AValue) const;
    std::int32_t ClampY(std::int32_t AValue) const;
    void ApplyCountdownTick(std::uint64_t AGeneration, std::int64_t ARemaining);
    void StartCountdownLocked(std::int32_t AMinutes);
    void ReadPartnerCode();
    void ChooseFirstStartLanguage();

    const QString FFileName;
    QString FPartnerCode;

#define PXH_DECLARE_FIELD(Type, Name) Type F##Name{};
    PXH_CONFIG_PLAIN_SETTINGS(PXH_DECLARE_FIELD)
#undef PXH_DECLARE_FIELD

    std::int32_t FReadVersion = 0;
    QString FPathTemp;
    std::int32_t FLanguage = 0;
    QString FSaveFolder;
    std::int32_t FPosXDropBox = 0;
    std::int32_t FPosYDropBox = 0;
    std::int32_t FHotKeys[CHotKeyCount] = {};
    TIntrusivePtr<TUploadServerList> FUploadServers;
    bool FPXHUserActive = false;
    std::int32_t FLastFolderTimeLeft = 0;
    std::int32_t FLastSize = 0;
    QStringList FToolStates;
    QString FLastAudioInName;
    QString FURLMyFiles;
    QString FURLAccount;

    QRect FVirtualDesktop;
    bool FPerMonitor = false;
    TAudioInputQuery FAudioInputQuery;
    TMainThreadDispatcher FDispatcher;
    std::uint32_t FCountdownInterval = 60000;
    std::uint64_t FCountdownGeneration = 0;
    std::shared_ptr<TCountdown> FCountdown;
};

} // namespace pxh
