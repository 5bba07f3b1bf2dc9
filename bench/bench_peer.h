// A peer program for the benchmarks: started, its port read from its output, ended with the object.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace pxh::bench {

class TPeer {
public:
    TPeer(const QString& AProgram, const QStringList& AArgs, const QString& APattern) {
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.start(AProgram, AArgs);
        QByteArray Output;
        const QRegularExpression Pattern(APattern);
        QElapsedTimer Timer;
        Timer.start();
        while (Timer.elapsed() < 30000 && FProcess.state() != QProcess::NotRunning) {
            FProcess.waitForReadyRead(200);
            Output += FProcess.readAll();
            const auto Match = Pattern.match(QString::fromUtf8(Output));
            if (Match.hasMatch()) {
                Captured = Match.capturedTexts();
                return;
            }
        }
        std::fprintf(stderr, "%s did not start: %s\n", qPrintable(AProgram), Output.constData());
        std::exit(1);
    }
    ~TPeer() {
        FProcess.terminate();
        if (!FProcess.waitForFinished(10000))
            FProcess.kill();
        FProcess.waitForFinished();
    }
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;
    QStringList Captured;

private:
    QProcess FProcess;
};

} // namespace pxh::bench
