// The framed message a second instance sends to the first, and the acknowledgement.
#pragma once

#include "core/handover_queue.h"

#include <QByteArray>
#include <optional>

namespace pxh {

inline constexpr char HandOverAck = 'A';
inline constexpr std::uint32_t HandOverMaxPayload = 16u << 20;

// "PXH1", a 32-bit big-endian payload length, then the fields origin, working folder, start-up id
// and the arguments, each a 32-bit length and UTF-8 bytes.
QByteArray EncodeHandOver(const THandOver& AHandOver);

enum class THandOverDecode { hdIncomplete, hdComplete, hdInvalid };

// Decodes one message from the front of ABuffer; on hdComplete AConsumed tells its length.
THandOverDecode DecodeHandOver(const QByteArray& ABuffer, THandOver& AHandOver, qsizetype& AConsumed);

} // namespace pxh
