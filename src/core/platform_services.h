// The desktop services the program asks for by interface; a caller skips a service that is missing.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <vector>

namespace pxh {

class IPXHService {
public:
    virtual ~IPXHService() = default;
};

class IPXHAppService : public virtual IPXHService {
public:
    virtual bool IsFirstInstance() = 0;
    virtual void HideAppWindow() = 0;
    virtual void ExitApplication() = 0;
    virtual void RestartApplication() = 0;
    virtual void OpenURL(const QString& AUrl) = 0;
    virtual void ShowMenu() = 0;
    // Closes the hand-over listener and frees the single-instance lock: the exit sequence's last step,
    // and the restart sequence's step before the new instance starts.
    virtual void ReleaseInstance() = 0;
};

class IPXHHotKeysService : public virtual IPXHService {
public:
    virtual bool RegisterHotKeys(bool ATryAlternatives, bool AClearOnFailure) = 0;
    virtual bool RegisterHotKeyById(int AId, bool AShowDialog, bool ATryAlternatives,
                                    bool AClearOnFailure) = 0;
    virtual bool RegisterHotKeyValue(int AId, int AValue) = 0;
    virtual void UnregisterHotKeys() = 0;
    virtual void UnregisterHotKey(int AId) = 0;
};

class IPXHNotificationService : public virtual IPXHService {
public:
    virtual void NotificationInit() = 0;
    virtual void Notify(const QString& AText, const QString& ALink, const QString& ATitle,
                        const QString& AMessage) = 0;
    virtual void NotifyError(const QString& AText) = 0;
    virtual void NotifyWarning(const QString& AText) = 0;
};

class IPXHTrayService : public virtual IPXHService {
public:
    virtual void CreateTrayIcon() = 0;
    virtual void RemoveTrayIcon() = 0;
    virtual void StartTrayAnimation() = 0;
    virtual void StopTrayAnimation() = 0;
};

class IPXHOpenWithService : public virtual IPXHService {
public:
    virtual void RegisterOpenWith() = 0;
};

class IPXHSendToService : public virtual IPXHService {
public:
    virtual void RegisterSendTo() = 0;
    // Delivers the command-line arguments: to the running instance from a second one, or into this
    // instance's own hand-over queue.
    virtual void CreateSendTo(const QStringList& AArguments) = 0;
};

// The process-wide registry. Services are registered explicitly by main(), never by static initialisers.
class TPlatformServices {
public:
    static void Register(std::shared_ptr<IPXHService> AService);
    static void Clear();

    template <class I> static std::shared_ptr<I> Get() {
        std::lock_guard lock(Mutex());
        for (const auto& service : Services())
            if (auto found = std::dynamic_pointer_cast<I>(service))
                return found;
        return nullptr;
    }

private:
    static std::mutex& Mutex();
    static std::vector<std::shared_ptr<IPXHService>>& Services();
};

} // namespace pxh
