// The desktop files of a running first instance: the pxh:// handler is the default, a browser link
// reaches the running instance, and --unregister removes them again.
#include "base/autorun.h"
#include "platform/shell_registration.h"
#include "support/program_runner.h"
#include "support/test_desktop.h"

#include <QFile>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace pxh;
using namespace pxh::test;

namespace {

QByteArray ReadFile(const QString& APath) {
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void RequireProgram(const char* AProgram, const char* APackage) {
    if (QStandardPaths::findExecutable(AProgram).isEmpty()) {
        if (qEnvironmentVariable("CI") == "true")
            FAIL() << AProgram << " is not installed (Debian package " << APackage << ")";
        GTEST_SKIP() << AProgram << " is not installed (Debian package " << APackage << ")";
    }
}

} // namespace

TEST(MimeAppsList, TheLinkDefaultIsAddedOnlyWhereNoneIsNamedAndRemovedOnlyWhenOurs) {
    const QString type = "x-scheme-handler/pxh";
    const QString ours = "pixhoard-url.desktop";
    const struct {
        const char* name;
        QByteArray before, added;
    } adds[] = {
        {"no file", "", "[Default Applications]\nx-scheme-handler/pxh=pixhoard-url.desktop;\n"},
        {"other sections kept",
         "[Added Associations]\nimage/png=gimp.desktop;\n\n[Default "
         "Applications]\ntext/html=firefox.desktop;\n",
         "[Added Associations]\nimage/png=gimp.desktop;\n\n[Default "
         "Applications]\ntext/html=firefox.desktop;\n"
         "x-scheme-handler/pxh=pixhoard-url.desktop;\n"},
        {"a foreign default is kept", "[Default Applications]\nx-scheme-handler/pxh=other.desktop;\n", ""},
        {"already ours", "[Default Applications]\nx-scheme-handler/pxh=pixhoard-url.desktop;\n", ""},
    };
    for (const auto& c : adds)
        EXPECT_EQ(MimeAppsWithDefault(c.before, type, ours), c.added) << c.name;

    EXPECT_EQ(
        MimeAppsWithoutDefault("[Default Applications]\nx-scheme-handler/pxh=other.desktop;\n", type, ours),
        QByteArray());
    EXPECT_EQ(
        MimeAppsWithoutDefault(
            "[Default Applications]\ntext/html=ff.desktop;\nx-scheme-handler/pxh=pixhoard-url.desktop;\n",
            type, ours),
        "[Default Applications]\ntext/html=ff.desktop;\n");
}

TEST(ShellRegistration, ExecLinesGiveBackTheProgramPathWhateverItHolds) {
    TempRoot root;
    root.applyToThisProcess();
    for (const QString program : {"/opt/pixhoard/bin/pixhoard", "/home/a b/pix hoard", "/x/\"q\"",
                                  "/x/$HOME/`id`", "/x/100%/p", "/x/it's"}) {
        for (const TShellFile& file : ShellFiles(program, true, true)) {
            if (!file.Path.endsWith("pixhoard-url.desktop"))
                continue;
            const QString text = QString::fromUtf8(file.Content);
            const qsizetype at = text.indexOf("\nExec=") + 6;
            const QString exec = text.mid(at, text.indexOf('\n', at) - at);
            EXPECT_EQ(SplitDesktopExecValue(exec), (QStringList{program, "--url", "%u"}))
                << exec.toStdString();
        }
    }
}

TEST(ShellRegistration, BrowserLinksReachTheRunningInstanceUntilUnregistered) {
    RequireProgram("xdg-mime", "xdg-utils");
    // xdg-open hands links to the desktop entries only on a display.
    TestDesktop desktop;
    PXH_REQUIRE_DESKTOP(desktop);
    TempRoot root;
    auto first = StartProgram(root, "pixhoard", {});
    const QString handler = root.data() + "/applications/pixhoard-url.desktop";
    // The file-manager entries are written last.
    ASSERT_TRUE(WaitFor([&] {
        return QFile::exists(root.data() + "/kio/servicemenus/pixhoard-sendto.desktop");
    })) << ReadLogs(root).toStdString();
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.runtime() + "/pixhoard/pixhoard.sock"); }));
    const QStringList written{handler, root.data() + "/applications/pixhoard.desktop",
                              root.data() + "/applications/pixhoard-open.desktop",
                              root.data() + "/kio/servicemenus/pixhoard-sendto.desktop",
                              root.data() + "/nautilus/scripts/Pixhoard"};
    for (const QString& path : written)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(ReadFile(root.data() + "/applications/pixhoard-open.desktop").contains("image/png;"));

    QProcessEnvironment env = root.environment();
    // xdg-open of a plain session, whatever desktop runs the tests.
    env.remove("XDG_CURRENT_DESKTOP");
    env.remove("DESKTOP_SESSION");
    env.remove("KDE_FULL_SESSION");
    env.remove("GNOME_DESKTOP_SESSION_ID");
    env.insert("DISPLAY", desktop.Display());
    QProcess query;
    query.setProcessEnvironment(env);
    query.start("xdg-mime", {"query", "default", "x-scheme-handler/pxh"});
    ASSERT_TRUE(query.waitForFinished(30000));
    EXPECT_EQ(query.readAllStandardOutput().trimmed(), "pixhoard-url.desktop");

    QProcess open;
    open.setProcessEnvironment(env);
    open.start("xdg-open", {"pxh://app?op=area"});
    ASSERT_TRUE(open.waitForFinished(60000));
    EXPECT_EQ(open.exitCode(), 0) << open.readAllStandardError().toStdString();
    EXPECT_TRUE(WaitFor([&] { return ReadLogs(root).contains("[browser link] pxh://app?op=area"); }))
        << ReadLogs(root).toStdString();
    EXPECT_EQ(Terminate(*first), 0);

    // A foreign default for the scheme is left as it is; our own files and the autostart entry go.
    EXPECT_TRUE(QFile::exists(root.config() + "/autostart/pixhoard.desktop"));
    EXPECT_EQ(RunProgram(root, "pixhoard", {"--unregister"}).ExitCode, 0);
    for (const QString& path : written)
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
    EXPECT_FALSE(QFile::exists(root.config() + "/autostart/pixhoard.desktop"));
    EXPECT_FALSE(ReadFile(root.config() + "/mimeapps.list").contains("pixhoard"));
}
