// SHA-256 after FIPS 180-4.
#include "service/sha256.h"

#include <cstring>

namespace pxh::service {

namespace {

constexpr std::array<uint32_t, 64> KRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t Rotr(uint32_t AValue, int ABits) {
    return (AValue >> ABits) | (AValue << (32 - ABits));
}

} // namespace

TSha256::TSha256()
    : FState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {
}

void TSha256::Block(const uint8_t* ABlock) {
    std::array<uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(ABlock[i * 4]) << 24 | uint32_t(ABlock[i * 4 + 1]) << 16 |
               uint32_t(ABlock[i * 4 + 2]) << 8 | uint32_t(ABlock[i * 4 + 3]);
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto s = FState;
    for (int i = 0; i < 64; ++i) {
        const uint32_t t1 = s[7] + (Rotr(s[4], 6) ^ Rotr(s[4], 11) ^ Rotr(s[4], 25)) +
                            ((s[4] & s[5]) ^ (~s[4] & s[6])) + KRound[i] + w[i];
        const uint32_t t2 = (Rotr(s[0], 2) ^ Rotr(s[0], 13) ^ Rotr(s[0], 22)) +
                            ((s[0] & s[1]) ^ (s[0] & s[2]) ^ (s[1] & s[2]));
        s = {t1 + t2, s[0], s[1], s[2], s[3] + t1, s[4], s[5], s[6]};
    }
    for (int i = 0; i < 8; ++i)
        FState[i] += s[i];
}

void TSha256::Update(const void* AData, size_t ALength) {
    auto bytes = static_cast<const uint8_t*>(AData);
    FTotal += ALength;
    while (ALength > 0) {
        const size_t take = std::min(ALength, FBuffer.size() - FBuffered);
        std::memcpy(FBuffer.data() + FBuffered, bytes, take);
        FBuffered += take;
        bytes += take;
        ALength -= take;
        if (FBuffered == FBuffer.size()) {
            Block(FBuffer.data());
            FBuffered = 0;
        }
    }
}

std::string TSha256::HexDigest() {
    const uint64_t bits = FTotal * 8;
    const uint8_t pad = 0x80;
    Update(&pad, 1);
    const uint8_t zero = 0;
    while (FBuffered != 56)
        Update(&zero, 1);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i)
        length[i] = uint8_t(bits >> (56 - 8 * i));
    Update(length, 8);
    static const char* KDigits = "0123456789abcdef";
    std::string out;
    for (uint32_t word : FState)
        for (int shift = 28; shift >= 0; shift -= 4)
            out += KDigits[(word >> shift) & 0xF];
    return out;
}

std::string TSha256::Hex(std::string_view AText) {
    TSha256 hash;
    hash.Update(AText);
    return hash.HexDigest();
}

} // namespace pxh::service
