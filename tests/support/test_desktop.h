// A private X server (Xvfb, a free display picked by the server) with openbox if asked, for desktop tests.
#pragma once

#include <QProcess>
#include <QString>
#include <memory>

namespace pxh::test {

class TestDesktop {
public:
    struct TOptions {
        int Width = 1920;
        int Height = 1080;
        bool WindowManager = false;
    };

    // Starts the server and waits until it accepts clients (and the window manager is up, if asked).
    // Failed() tells why not; under CI=true a missing program is a failure, elsewhere a skip.
    explicit TestDesktop(TOptions AOptions);
    TestDesktop()
        : TestDesktop(TOptions{}) {}
    ~TestDesktop();

    bool Ok() const { return FError.isEmpty(); }
    const QString& Error() const { return FError; }
    // ":N"
    const QString& Display() const { return FDisplay; }
    // Sets DISPLAY of this process (for in-process Qt or xcb clients created afterwards).
    void ApplyToThisProcess() const;

    // Runs a command on this display (xdotool, xrandr, xclip ...); answers its exit code, -1 on failure.
    int Run(const QString& AProgram, const QStringList& AArgs, QByteArray* AOutput = nullptr,
            int ATimeoutMs = 30000) const;

private:
    QString FDisplay;
    QString FError;
    std::unique_ptr<QProcess> FServer;
    std::unique_ptr<QProcess> FWindowManager;
};

// GoogleTest helper: skips (or fails under CI=true) when the desktop did not come up.
#define PXH_REQUIRE_DESKTOP(desktop)                                                                         \
    do {                                                                                                     \
        if (!(desktop).Ok()) {                                                                               \
            if (qEnvironmentVariable("CI") == "true")                                                        \
                FAIL() << (desktop).Error().toStdString();                                                   \
            GTEST_SKIP() << (desktop).Error().toStdString();                                                 \
        }                                                                                                    \
    } while (0)

} // namespace pxh::test
