// Password scrambling: a 16-bit running-key XOR and a 6-bit text form over a shuffled alphabet.
#include "model/password_scrambler.h"

#include <QByteArray>
#include <array>
#include <cstdint>

namespace pxh {

namespace {

constexpr std::uint16_t CStartKey = 0x5A3C;
constexpr std::uint16_t CMultiplier = 0x9E37;
constexpr std::uint16_t CAddend = 0x2B6D;
constexpr char CAlphabet[] = "kQ3xV9bTzLr0MwJ5aFhN8cYd+PsE2gUo/K7iHn1BqWtZ4eRfDlC6vXmSjAyOpGuI";
static_assert(sizeof(CAlphabet) == 65);

std::uint16_t NextKey(std::uint16_t AKey, std::uint8_t AScrambled) {
    return static_cast<std::uint16_t>((AKey + AScrambled) * CMultiplier + CAddend);
}

constexpr std::array<int, 256> MakeDecodeTable() {
    std::array<int, 256> Table{};
    for (int& Entry : Table)
        Entry = -1;
    for (int I = 0; I < 64; ++I)
        Table[static_cast<unsigned char>(CAlphabet[I])] = I;
    return Table;
}
constexpr std::array<int, 256> CDecode = MakeDecodeTable();

} // namespace

QString ScramblePassword(const QString& APlain) {
    const QByteArray Plain = APlain.toUtf8();
    QString Result;
    Result.reserve((Plain.size() * 8 + 5) / 6);
    std::uint16_t Key = CStartKey;
    std::uint32_t Bits = 0;
    int BitCount = 0;
    for (const char Ch : Plain) {
        const auto Scrambled = static_cast<std::uint8_t>(static_cast<std::uint8_t>(Ch) ^ (Key >> 8));
        Key = NextKey(Key, Scrambled);
        Bits = (Bits << 8) | Scrambled;
        BitCount += 8;
        while (BitCount >= 6) {
            BitCount -= 6;
            Result += QLatin1Char(CAlphabet[(Bits >> BitCount) & 0x3F]);
        }
    }
    if (BitCount > 0)
        Result += QLatin1Char(CAlphabet[(Bits << (6 - BitCount)) & 0x3F]);
    return Result;
}

QString UnscramblePassword(const QString& AScrambled) {
    QByteArray Plain;
    std::uint16_t Key = CStartKey;
    std::uint32_t Bits = 0;
    int BitCount = 0;
    for (const QChar Ch : AScrambled) {
        const int Value = Ch.unicode() < 256 ? CDecode[Ch.unicode()] : -1;
        if (Value < 0)
            break;
        Bits = (Bits << 6) | static_cast<std::uint32_t>(Value);
        BitCount += 6;
        if (BitCount >= 8) {
            BitCount -= 8;
            const auto Scrambled = static_cast<std::uint8_t>((Bits >> BitCount) & 0xFF);
            Plain += static_cast<char>(Scrambled ^ (Key >> 8));
            Key = NextKey(Key, Scrambled);
        }
    }
    return QString::fromUtf8(Plain);
}

QString HexEncodeText(const QString& AText) {
    return QString::fromLatin1(AText.toUtf8().toHex().toUpper());
}

QString HexDecodeText(const QString& AHex) {
    QByteArray Bytes;
    for (qsizetype I = 0; I + 1 < AHex.size(); I += 2) {
        bool Ok = false;
        const uint Byte = AHex.mid(I, 2).toUInt(&Ok, 16);
        if (!Ok)
            break;
        Bytes += static_cast<char>(Byte);
    }
    return QString::fromUtf8(Bytes);
}

} // namespace pxh
