// Masks passwords, keys and tokens in texts that go to the log.
#pragma once

#include <QString>

namespace pxh {

// "pxh://app?key=abc" -> "pxh://app?key=***"; the same for token, access_token, password and the like.
QString MaskSecrets(const QString& AText);

} // namespace pxh
