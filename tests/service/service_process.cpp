// Runs the real pixhoard-service and the curl command for the end-to-end tests.
#include "service/service_process.h"

#include "support/temp_root.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <signal.h>

namespace pxh::test {

QByteArray TCurlResult::Header(const QByteArray& AName) const {
    for (const QByteArray& line : Headers.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(AName, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

TCurlResult Curl(const QStringList& AArgs, int ATimeoutMs) {
    QTemporaryDir dir;
    QProcess curl;
    QStringList args = {"-sS", "-o",          dir.filePath("body"), "-D", dir.filePath("headers"),
                        "-w",  "%{http_code}"};
    curl.start("curl", args + AArgs);
    QElapsedTimer timer;
    timer.start();
    TCurlResult result;
    if (!curl.waitForFinished(ATimeoutMs)) {
        curl.kill();
        curl.waitForFinished();
        return result;
    }
    result.ElapsedMs = timer.elapsed();
    result.ExitCode = curl.exitCode();
    result.Status = curl.readAllStandardOutput().trimmed().toInt();
    QFile body(dir.filePath("body"));
    if (body.open(QIODevice::ReadOnly))
        result.Body = body.readAll();
    QFile headers(dir.filePath("headers"));
    if (headers.open(QIODevice::ReadOnly))
        result.Headers = headers.readAll();
    return result;
}

QByteArray HexBasic(const QString& AUser, const QString& APassword) {
    return "Basic " +
           (AUser.toUtf8().toHex().toUpper() + ":" + APassword.toUtf8().toHex().toUpper()).toBase64();
}

TServiceProcess::TServiceProcess(const QStringList& AArguments) {
    QDir().mkpath(WorkDir());
    FProcess = std::make_unique<QProcess>();
    FProcess->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess->start(BinDir() + "/pixhoard-service",
                    QStringList{"--data", DataDir(), "--port", "0"} + AArguments);
    QByteArray line;
    QElapsedTimer timer;
    timer.start();
    while (!line.contains('\n') && timer.elapsed() < 60000 && FProcess->state() != QProcess::NotRunning) {
        FProcess->waitForReadyRead(1000);
        line += FProcess->readAllStandardOutput();
    }
    static const QRegularExpression KReady(
        R"(^service (http://127\.0\.0\.1:\d+/) ftp (?:127\.0\.0\.1:(\d+)|-)\n$)");
    const auto match = KReady.match(QString::fromUtf8(line));
    if (!match.hasMatch()) {
        ADD_FAILURE() << "no ready line from pixhoard-service: " << line.toStdString();
        return;
    }
    FRoot = match.captured(1);
    FFtpPort = match.captured(2).toInt();
}

TServiceProcess::~TServiceProcess() {
    Stop();
}

int TServiceProcess::Stop() {
    if (!FProcess || FProcess->state() == QProcess::NotRunning)
        return FProcess ? FProcess->exitCode() : -1;
    ::kill(pid_t(FProcess->processId()), SIGTERM);
    if (!FProcess->waitForFinished(30000)) {
        FProcess->kill();
        FProcess->waitForFinished();
        return -1;
    }
    return FProcess->exitStatus() == QProcess::NormalExit ? FProcess->exitCode() : -1;
}

QStringList TServiceProcess::Listing() const {
    QStringList out;
    QDirIterator it(DataDir(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        // Folder sizes say nothing about content and move with the entries once made.
        const qint64 size = it.fileInfo().isDir() ? 0 : it.fileInfo().size();
        out << QDir(DataDir()).relativeFilePath(it.filePath()) + " " + QString::number(size);
    }
    out.sort();
    return out;
}

TCurlResult TServiceProcess::Control(const QString& APath, const QByteArray& AJson) const {
    return Curl({"-X", "POST", "--data-binary", QString::fromUtf8(AJson), Root() + "_test/" + APath});
}

} // namespace pxh::test
