// The notification-area icon: its frames, the busy animation and what its clicks ask for.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <vector>

namespace pxh {

// The icon drawn at run time: index 0 the normal icon, 1 to 11 the animation frames.
QIcon TrayFrame(int AIndex);

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    // ALeftClick and ARightClick run once the button is up.
    TTrayIcon(std::function<void()> ALeftClick, std::function<void()> ARightClick);

    // False when no tray host (StatusNotifierItem watcher or XEmbed tray) is there to show it.
    bool Show();
    void Hide();
    void StartAnimation();
    void StopAnimation();
    // The frame shown now (0 = normal icon).
    int ShownFrame() const { return FShown; }
    bool Animating() const { return FTimer.isActive(); }
    QSystemTrayIcon& Icon() { return FIcon; }

    // Run the clicks as the icon's activation does (the tray host's activation lands here).
    void Activate(QSystemTrayIcon::ActivationReason AReason);

private:
    void Tick();
    void ShowFrame(int AIndex);

    QSystemTrayIcon FIcon;
    QTimer FTimer;
    std::vector<QIcon> FFrames;
    std::function<void()> FLeftClick, FRightClick;
    qint64 FStartTime = 0;
    int FNextFrame = 0; // 0 = stop
    int FShown = 0;
};

} // namespace pxh
