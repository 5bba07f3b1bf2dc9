// The tray icon in a real XEmbed tray (trayer) on the private display: it docks, and clicks on it reach
// their handlers only once the button is up.
#include "desktop_test_main.h"
#include "platform/tray_icon.h"
#include "support/program_runner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using namespace pxh;
using namespace pxh::test;

namespace {

bool PumpUntil(const std::function<bool()>& ACondition) {
    return WaitFor([&] {
        QCoreApplication::processEvents();
        return ACondition();
    });
}

} // namespace

TEST(TrayIcon, DocksInAnXEmbedTrayAndItsClicksReachTheirHandlers) {
    PXH_REQUIRE_DESKTOP(SharedDesktop());
    {
        TTrayIcon icon({}, {});
        EXPECT_FALSE(icon.Show()) << "without a tray host the caller must keep the drop zone visible";
        icon.Hide();
    }

    // A 32-pixel strip at the top left: the only icon sits at its start.
    QProcess tray;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), SharedDesktop().Display());
    tray.setProcessEnvironment(environment);
    tray.start(QStringLiteral("trayer"),
               {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "128", "--heighttype",
                "pixel", "--height", "32", "--expand", "false", "--transparent", "false"});
    ASSERT_TRUE(tray.waitForStarted()) << "trayer: " << tray.errorString().toStdString();
    ASSERT_TRUE(PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));

    int left = 0, right = 0;
    TTrayIcon icon([&] { ++left; }, [&] { ++right; });
    ASSERT_TRUE(icon.Show());
    // Docked once the host has given the icon its place in the strip.
    ASSERT_TRUE(PumpUntil([&] { return !icon.Icon().geometry().isEmpty(); }));
    const QPoint centre = icon.Icon().geometry().center();
    const QString x = QString::number(centre.x()), y = QString::number(centre.y());

    const struct {
        const char* name;
        const char* button;
        int left, right;
    } cases[] = {{"left click", "1", 1, 0}, {"right click", "3", 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SharedDesktop().Run(QStringLiteral("xdotool"), {"mousemove", x, y, "click", c.button}), 0);
        EXPECT_TRUE(PumpUntil([&] { return left == c.left && right == c.right; }))
            << "left " << left << " right " << right;
    }
    icon.Hide();
    tray.terminate();
    tray.waitForFinished();
}
