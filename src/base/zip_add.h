// ZipAdd: adds a file or folder to a ZIP archive with the 7z program.
#pragma once

#include <QString>
#include <functional>

namespace pxh {

class TProcessRunner;

struct TZipAddOptions {
    QString Program;                  // empty: "7z" found on PATH
    TProcessRunner* Runner = nullptr; // empty: a runner of its own
    std::function<bool()> Cancelled;  // polled while 7z runs
};

// True only when 7z ran and exited with status 0 (its warning status 1 leaves a partial archive).
// A password goes to 7z's standard input after a bare "-p", never onto its command line; one holding
// a line break cannot be passed that way and gives false. Cancel stops 7z and removes an archive the
// call had created. Blocks until 7z ends.
bool ZipAdd(const QString& AArchive, const QString& AItem, int ALevel, const QString& APassword,
            const TZipAddOptions& AOptions = {});

} // namespace pxh
