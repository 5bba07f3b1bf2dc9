// WriteFileAtomic through QSaveFile.
#include "base/atomic_file.h"

#include <QSaveFile>

namespace pxh {

bool WriteFileAtomic(const QString& AFileName, const QByteArray& AData, QString* AError) {
    QSaveFile File(AFileName);
    const bool Ok = File.open(QIODevice::WriteOnly) && File.write(AData) == AData.size() && File.commit();
    if (!Ok) {
        if (AError)
            *AError = File.errorString();
        File.cancelWriting();
    }
    return Ok;
}

} // namespace pxh
