// Helper of the logger test: logs past RLIMIT_FSIZE with SIGXFSZ ignored; the exit status tells the result.
#include "base/logger.h"

#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 10;
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
        return 11;
    pxh::TZRLogger logger(QString::fromLocal8Bit(argv[1]), QStringLiteral("Pixhoard.log"), true, true,
                          std::int64_t{1} << 30);
    if (!logger.FileOpened())
        return 12;
    for (int i = 0; i < 100; ++i) {
        errno = 4242;
        logger.OutMessage(0, pxh::TLogMsgType::lmtInfo,
                          QStringLiteral("line %1 ").arg(i) + QString(80, u'x'));
        if (errno != 4242)
            return 2;
    }
    // The count follows what reached the file, also a line cut off at the limit.
    if (logger.FileSize() != QFileInfo(logger.FileName()).size())
        return 3;
    return 0;
}
