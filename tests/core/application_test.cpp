// The guarded creation block of start-up: a failure leaves one log line and nothing else.
#include "base/exception.h"
#include "base/logger.h"
#include "core/application.h"
#include "support/temp_root.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace pxh;

namespace {

struct TNoForms : IAppForms {
    int Calls = 0;
    void CreateForms() override { ++Calls; }
    void StoreFormPositions() override { ++Calls; }
    void FreeSecondaryForms() override { ++Calls; }
    void CloseMainForm() override { ++Calls; }
};

QString ReadAll(const QString& APath) {
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(Application, AFailureWhileCreatingTheEngineIsOneLogLineAndNoForm) {
    test::TempRoot root;
    auto logger = std::make_shared<TZRLogger>(root.path() + "/", "Pixhoard.log", true, false, 1 << 20);
    const QString logFile = logger->FileName();
    SetGlobalLogger(logger);
    logger.reset();

    TNoForms forms;
    TPixhoardApplication::TOptions options;
    options.OnCreateEngine = [] { throw EPixhoard("the configuration folder is gone"); };
    {
        TPixhoardApplication application(forms, options);
        EXPECT_FALSE(application.CreateCoreObjects());
    }
    EXPECT_EQ(forms.Calls, 0);
    EXPECT_EQ(GlobalLogger(), nullptr) << "releasing the application releases the log";

    const QString log = ReadAll(logFile);
    EXPECT_EQ(log.count(" TPixhoardEngine.Create "), 1) << log.toStdString();
    EXPECT_TRUE(
        log.contains("EXCEPTION \"EPixhoard\" TPixhoardEngine.Create : the configuration folder is gone"))
        << log.toStdString();
}

TEST(Application, CreatesAndReleasesTheOperationThreads) {
    TNoForms forms;
    TPixhoardApplication application(forms, {});
    ASSERT_TRUE(application.CreateCoreObjects());
    application.ReleaseCoreObjects();
    application.ReleaseCoreObjects(); // a second release after an exit sequence is harmless
}
