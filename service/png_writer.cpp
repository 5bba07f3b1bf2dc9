// PNG encoding over zlib, and QR codes from libqrencode.
#include "service/png_writer.h"

#include <memory>
#include <qrencode.h>
#include <stdexcept>
#include <zlib.h>

namespace pxh::service {

namespace {

void AppendBig32(std::string& AOut, uint32_t AValue) {
    for (int shift = 24; shift >= 0; shift -= 8)
        AOut += char((AValue >> shift) & 0xFF);
}

void AppendChunk(std::string& AOut, const char* AType, const std::string& AData) {
    AppendBig32(AOut, uint32_t(AData.size()));
    std::string body = std::string(AType, 4) + AData;
    AOut += body;
    AppendBig32(AOut, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

} // namespace

std::string EncodeGreyPng(int AWidth, int AHeight, const std::vector<uint8_t>& APixels) {
    if (AWidth <= 0 || AHeight <= 0 || APixels.size() != size_t(AWidth) * size_t(AHeight))
        throw std::invalid_argument("picture size does not match its pixels");
    std::string raw;
    raw.reserve(size_t(AHeight) * (size_t(AWidth) + 1));
    for (int y = 0; y < AHeight; ++y) {
        raw += '\0'; // filter: none
        raw.append(reinterpret_cast<const char*>(APixels.data()) + size_t(y) * size_t(AWidth),
                   size_t(AWidth));
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9) != Z_OK)
        throw std::runtime_error("zlib failed");
    packed.resize(packedSize);

    std::string header;
    AppendBig32(header, uint32_t(AWidth));
    AppendBig32(header, uint32_t(AHeight));
    header += std::string("\x08\x00\x00\x00\x00", 5); // 8-bit grey, deflate, no filter set, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    return png;
}

std::string QrCodePng(const std::string& AText, int AScale) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(AText.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    constexpr int KQuiet = 4;
    const int modules = code->width + 2 * KQuiet;
    const int size = modules * AScale;
    std::vector<uint8_t> pixels(size_t(size) * size_t(size), 0xFF);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x) {
            if ((code->data[y * code->width + x] & 1) == 0)
                continue;
            for (int dy = 0; dy < AScale; ++dy)
                for (int dx = 0; dx < AScale; ++dx)
                    pixels[size_t((y + KQuiet) * AScale + dy) * size_t(size) +
                           size_t((x + KQuiet) * AScale + dx)] = 0;
        }
    return EncodeGreyPng(size, size, pixels);
}

std::string BannerPng(int AWidth, int AHeight) {
    std::vector<uint8_t> pixels(size_t(AWidth) * size_t(AHeight), 0xE0);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x)
            if (x < 2 || y < 2 || x >= AWidth - 2 || y >= AHeight - 2)
                pixels[size_t(y) * size_t(AWidth) + size_t(x)] = 0x40;
    return EncodeGreyPng(AWidth, AHeight, pixels);
}

} // namespace pxh::service
