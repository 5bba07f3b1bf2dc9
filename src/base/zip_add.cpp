// ZipAdd through TProcessRunner.
#include "base/zip_add.h"

#include "base/logger.h"
#include "base/process_runner.h"
#include "base/system_utils.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace pxh {

bool ZipAdd(const QString& AArchive, const QString& AItem, int ALevel, const QString& APassword,
            const TZipAddOptions& AOptions) {
    const QString Program = AOptions.Program.isEmpty() ? FindProgram(QStringLiteral("7z")) : AOptions.Program;
    if (Program.isEmpty()) {
        ZRLog(1, TLogMsgType::lmtError, QStringLiteral("ZipAdd: the 7z program was not found"));
        return false;
    }
    if (APassword.contains(QLatin1Char('\n')) || APassword.contains(QLatin1Char('\r'))) {
        ZRLog(1, TLogMsgType::lmtError, QStringLiteral("ZipAdd: a password with a line break is refused"));
        return false;
    }
    // Absolute paths: 7z runs in the executable's folder, and a name starting with "-" or "@" would be
    // read as a switch or a list file.
    const QString Archive = QFileInfo(AArchive).absoluteFilePath();
    const QString Item = QFileInfo(AItem).absoluteFilePath();

    TProcessRequest Request;
    Request.Program = Program;
    Request.Arguments = {QStringLiteral("a"), QStringLiteral("-tzip"), Archive};
    if (!APassword.isEmpty()) {
        Request.Arguments << QStringLiteral("-p");
        Request.Input = APassword.toUtf8() + '\n';
    }
    Request.Arguments << Item << QStringLiteral("-ssw")
                      << QStringLiteral("-mx%1").arg(std::clamp(ALevel, 0, 9));
    Request.WorkingFolder = AppFolder();
    Request.Cancelled = AOptions.Cancelled;

    const bool Existed = QFileInfo::exists(Archive);
    TProcessRunner OwnRunner;
    TProcessRunner& Runner = AOptions.Runner ? *AOptions.Runner : OwnRunner;
    const TProcessResult Result = Runner.Run(Request);
    if (Result.Succeeded())
        return true;
    if (Result.Cancelled && !Existed)
        QFile::remove(Archive);
    ZRLogFormat(1, TLogMsgType::lmtError, QStringLiteral("ZipAdd: %s %s failed: %s %s"),
                {Program, Request.Arguments.join(QLatin1Char(' ')), Result.Error,
                 QString::fromLocal8Bit(Result.Errors.right(2000)).trimmed()});
    return false;
}

} // namespace pxh
