// Small text, random and file helpers shared by the service's parts.
#include "service/text_util.h"

#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace pxh::service {

namespace {

constexpr std::string_view KBase64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char AChar) {
    const auto pos = KBase64.find(AChar);
    return pos == std::string_view::npos ? -1 : int(pos);
}

} // namespace

std::optional<std::string> Base64Decode(std::string_view AText) {
    if (AText.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < AText.size(); i += 4) {
        int values[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = AText[i + k];
            if (c == '=' && i + 4 == AText.size() && k >= 2) {
                values[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0)
                return std::nullopt;
            values[k] = Base64Value(c);
            if (values[k] < 0)
                return std::nullopt;
        }
        const uint32_t triple = uint32_t(values[0]) << 18 | uint32_t(values[1]) << 12 |
                                uint32_t(values[2]) << 6 | uint32_t(values[3]);
        out += char(triple >> 16);
        if (padding < 2)
            out += char((triple >> 8) & 0xFF);
        if (padding < 1)
            out += char(triple & 0xFF);
    }
    return out;
}

std::string Base64Encode(std::string_view AData) {
    std::string out;
    for (size_t i = 0; i < AData.size(); i += 3) {
        const size_t n = std::min<size_t>(3, AData.size() - i);
        uint32_t triple = 0;
        for (size_t k = 0; k < 3; ++k)
            triple = triple << 8 | (k < n ? uint8_t(AData[i + k]) : 0);
        for (size_t k = 0; k < 4; ++k)
            out += k <= n ? KBase64[(triple >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

std::optional<std::string> HexDecodeUpper(std::string_view AText) {
    if (AText.size() % 2 != 0)
        return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < AText.size(); i += 2) {
        const int high = digit(AText[i]);
        const int low = digit(AText[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high << 4 | low);
    }
    return out;
}

std::string HtmlEscape(std::string_view AText) {
    std::string out;
    for (char c : AText) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string ToLower(std::string_view AText) {
    std::string out(AText);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

bool ConstantTimeEquals(std::string_view A, std::string_view B) {
    unsigned diff = unsigned(A.size() ^ B.size());
    for (size_t i = 0; i < A.size(); ++i)
        diff |= unsigned(uint8_t(A[i]) ^ uint8_t(i < B.size() ? B[i] : 0));
    return diff == 0;
}

std::string RandomToken(size_t ALength) {
    static constexpr std::string_view KAlphabet =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    std::uniform_int_distribution<size_t> pick(0, KAlphabet.size() - 1);
    std::string out;
    for (size_t i = 0; i < ALength; ++i)
        out += KAlphabet[pick(generator)];
    return out;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& APath) {
    std::ifstream in(APath, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void WriteFileAtomic(const std::filesystem::path& APath, std::string_view AData) {
    const auto temp = APath.parent_path() / ("." + APath.filename().string() + "." + RandomToken(8) + ".tmp");
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot create " + temp.string());
    size_t written = 0;
    while (written < AData.size()) {
        const ssize_t n = ::write(fd, AData.data() + written, AData.size() - written);
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            throw std::runtime_error("cannot write " + temp.string());
        }
        written += size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temp.c_str());
        throw std::runtime_error("cannot finish " + temp.string());
    }
    std::filesystem::rename(temp, APath);
}

} // namespace pxh::service
