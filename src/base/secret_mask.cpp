#include "base/secret_mask.h"

#include <QRegularExpression>

namespace pxh {

QString MaskSecrets(const QString& AText) {
    static const QRegularExpression secret(
        QStringLiteral("((?:^|[?&#/;])(?:key|token|access_token|refresh_token|password|passwd|pass|pwd|"
                       "secret|code))=([^&#\\s]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString masked = AText;
    masked.replace(secret, QStringLiteral("\\1=***"));
    return masked;
}

} // namespace pxh
