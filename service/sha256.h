// SHA-256, for password hashes and the content hashes of the test log.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pxh::service {

class TSha256 {
public:
    TSha256();
    void Update(const void* AData, size_t ALength);
    void Update(std::string_view AText) { Update(AText.data(), AText.size()); }
    // Lower-case hex of the digest; the object is spent afterwards.
    std::string HexDigest();

    static std::string Hex(std::string_view AText);

private:
    void Block(const uint8_t* ABlock);

    std::array<uint32_t, 8> FState;
    std::array<uint8_t, 64> FBuffer{};
    size_t FBuffered = 0;
    uint64_t FTotal = 0;
};

} // namespace pxh::service
