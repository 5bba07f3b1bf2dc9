// The one password scrambler of the stored settings and destinations, and the hex form of account texts.
#pragma once

#include <QString>

namespace pxh {

// Scrambles the UTF-8 bytes of APlain with the running key and writes them 6 bits per character.
QString ScramblePassword(const QString& APlain);
// The inverse; a character outside the alphabet ends the decoding.
QString UnscramblePassword(const QString& AScrambled);

// Upper-case hexadecimal of the UTF-8 bytes.
QString HexEncodeText(const QString& AText);
// Reads pairs of hexadecimal digits up to the first pair that is not one.
QString HexDecodeText(const QString& AHex);

} // namespace pxh
