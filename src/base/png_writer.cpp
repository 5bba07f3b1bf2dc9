// PNG writing: rows filtered with "up" or Paeth, one libdeflate zlib stream, one IDAT.
#include "base/png_writer.h"

#include <QColorSpace>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <vector>

namespace pxh {
namespace {

// Chosen with the capture benchmark: within 1 % of Qt's default size on a busy screen, far faster.
constexpr int CompressionLevel = 5;
constexpr std::size_t MaxFilteredBytes = std::size_t(1) << 30;
constexpr std::uint8_t FilterNone = 0;
constexpr std::uint8_t FilterUp = 2;
constexpr std::uint8_t FilterPaeth = 4;
constexpr std::uint8_t ColorRgb = 2;
constexpr std::uint8_t ColorRgba = 6;

void PutU32(std::uint8_t* ATarget, std::uint32_t AValue) {
    ATarget[0] = std::uint8_t(AValue >> 24);
    ATarget[1] = std::uint8_t(AValue >> 16);
    ATarget[2] = std::uint8_t(AValue >> 8);
    ATarget[3] = std::uint8_t(AValue);
}

std::uint8_t* Bytes(QByteArray& AData, qsizetype AAt) {
    return reinterpret_cast<std::uint8_t*>(AData.data()) + AAt;
}

// Length, type, data and the CRC over type and data; the data is already in place after 8 free bytes
// starting at AAt.
void CloseChunk(QByteArray& AOut, qsizetype AAt, const char* AType, std::size_t ALength) {
    std::uint8_t* head = Bytes(AOut, AAt);
    PutU32(head, std::uint32_t(ALength));
    std::memcpy(head + 4, AType, 4);
    std::uint8_t crc[4];
    PutU32(crc, libdeflate_crc32(0, head + 4, ALength + 4));
    AOut.append(reinterpret_cast<const char*>(crc), 4);
}

void AppendChunk(QByteArray& AOut, const char* AType, const std::uint8_t* AData, std::size_t ALength) {
    const qsizetype at = AOut.size();
    AOut.append(8, '\0');
    AOut.append(reinterpret_cast<const char*>(AData), qsizetype(ALength));
    CloseChunk(AOut, at, AType, ALength);
}

struct TCompressorFree {
    void operator()(libdeflate_compressor* ACompressor) const { libdeflate_free_compressor(ACompressor); }
};

// A compressor holds about a megabyte of tables: one per thread is kept for the next picture.
libdeflate_compressor* Compressor() {
    thread_local std::unique_ptr<libdeflate_compressor, TCompressorFree> compressor(
        libdeflate_alloc_compressor(CompressionLevel));
    return compressor.get();
}

template <int Channels> void ToBytes(const QRgb* ARow, int AWidth, std::uint8_t* AOut) {
    for (int x = 0; x < AWidth; ++x, AOut += Channels) {
        const QRgb p = ARow[x];
        AOut[0] = std::uint8_t(qRed(p));
        AOut[1] = std::uint8_t(qGreen(p));
        AOut[2] = std::uint8_t(qBlue(p));
        if constexpr (Channels == 4) {
            AOut[3] = std::uint8_t(qAlpha(p));
        }
    }
}

inline int PaethPredictor(int ALeft, int AAbove, int AUpperLeft) {
    const int p = ALeft + AAbove - AUpperLeft;
    const int pa = std::abs(p - ALeft), pb = std::abs(p - AAbove), pc = std::abs(p - AUpperLeft);
    return (pa <= pb && pa <= pc) ? ALeft : (pb <= pc ? AAbove : AUpperLeft);
}

// Each pixel's Paeth residue for one byte.
template <int Channels>
std::uint8_t PaethByte(const std::uint8_t* ARow, const std::uint8_t* AAbove, std::size_t AIndex) {
    const int left = AIndex >= Channels ? ARow[AIndex - Channels] : 0;
    const int upperLeft = AIndex >= Channels ? AAbove[AIndex - Channels] : 0;
    return std::uint8_t(ARow[AIndex] - PaethPredictor(left, AAbove[AIndex], upperLeft));
}

// Each row: its filter byte, then the filtered bytes. "Up" suits flat screens and costs almost nothing;
// Paeth wins on photographs and grain. Each row takes the one with the smaller sum of magnitudes (the
// usual heuristic), estimated on every eighth pixel so that only the chosen filter runs on the whole row.
template <int Channels> void FilterRows(const QImage& AImage, std::uint8_t* ATarget) {
    constexpr std::size_t SampleStep = 8 * Channels;
    const std::size_t bytes = std::size_t(AImage.width()) * Channels;
    std::vector<std::uint8_t> above(bytes, 0), row(bytes);
    const auto magnitude = [](std::uint8_t AValue) { return std::abs(int(std::int8_t(AValue))); };
    for (int y = 0; y < AImage.height(); ++y) {
        ToBytes<Channels>(reinterpret_cast<const QRgb*>(AImage.constScanLine(y)), AImage.width(), row.data());
        std::uint8_t* out = ATarget + (bytes + 1) * std::size_t(y);
        if (y == 0) {
            out[0] = FilterNone;
            std::memcpy(out + 1, row.data(), bytes);
            above.swap(row);
            continue;
        }
        long upSum = 0, paethSum = 0;
        for (std::size_t pixel = 0; pixel < bytes; pixel += SampleStep) {
            for (std::size_t i = pixel; i < pixel + Channels; ++i) {
                upSum += magnitude(std::uint8_t(row[i] - above[i]));
                paethSum += magnitude(PaethByte<Channels>(row.data(), above.data(), i));
            }
        }
        if (paethSum < upSum) {
            out[0] = FilterPaeth;
            for (std::size_t i = 0; i < bytes; ++i) {
                out[1 + i] = PaethByte<Channels>(row.data(), above.data(), i);
            }
        } else {
            out[0] = FilterUp;
            for (std::size_t i = 0; i < bytes; ++i) {
                out[1 + i] = std::uint8_t(row[i] - above[i]);
            }
        }
        above.swap(row);
    }
}

} // namespace

std::optional<QByteArray> EncodePng(const QImage& AImage) {
    if (AImage.isNull() || AImage.colorSpace().isValid() || !AImage.textKeys().isEmpty()) {
        return std::nullopt;
    }
    QImage image;
    switch (AImage.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        image = AImage;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        image = AImage.convertToFormat(QImage::Format_ARGB32);
        break;
    default:
        return std::nullopt;
    }
    const bool alpha = image.format() == QImage::Format_ARGB32;
    const int channels = alpha ? 4 : 3;
    const std::size_t filteredSize =
        (std::size_t(image.width()) * channels + 1) * std::size_t(image.height());
    if (filteredSize > MaxFilteredBytes) {
        return std::nullopt;
    }
    const auto filtered = std::make_unique_for_overwrite<std::uint8_t[]>(filteredSize);
    if (alpha) {
        FilterRows<4>(image, filtered.get());
    } else {
        FilterRows<3>(image, filtered.get());
    }

    libdeflate_compressor* compressor = Compressor();
    if (!compressor) {
        return std::nullopt;
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor, filteredSize);
    QByteArray out;
    out.reserve(qsizetype(64 + bound));
    out.append("\x89PNG\r\n\x1a\n", 8);

    std::array<std::uint8_t, 13> header{};
    PutU32(header.data(), std::uint32_t(image.width()));
    PutU32(header.data() + 4, std::uint32_t(image.height()));
    header[8] = 8;
    header[9] = alpha ? ColorRgba : ColorRgb;
    AppendChunk(out, "IHDR", header.data(), header.size());

    // Qt's reader gives the resolution back from here, as with Qt's own writer.
    if (image.dotsPerMeterX() > 0 || image.dotsPerMeterY() > 0) {
        std::array<std::uint8_t, 9> physical{};
        PutU32(physical.data(), std::uint32_t(std::max(0, image.dotsPerMeterX())));
        PutU32(physical.data() + 4, std::uint32_t(std::max(0, image.dotsPerMeterY())));
        physical[8] = 1;
        AppendChunk(out, "pHYs", physical.data(), physical.size());
    }

    // The stream is compressed in place after the IDAT chunk's head.
    const qsizetype at = out.size();
    out.resize(at + 8 + qsizetype(bound));
    const std::size_t compressed =
        libdeflate_zlib_compress(compressor, filtered.get(), filteredSize, Bytes(out, at + 8), bound);
    if (compressed == 0) {
        return std::nullopt;
    }
    out.resize(at + 8 + qsizetype(compressed));
    CloseChunk(out, at, "IDAT", compressed);
    AppendChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace pxh
