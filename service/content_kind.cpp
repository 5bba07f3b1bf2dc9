// Signature and extension tables for the kinds the service serves inline.
#include "service/content_kind.h"

#include "service/text_util.h"

#include <array>

namespace pxh::service {

namespace {

struct TSignature {
    size_t Offset;
    std::string_view Bytes;
    TContentKind Kind;
    std::string_view Mime;
};

const std::array<TSignature, 11> KSignatures = {{
    {0, std::string_view("\x89PNG\r\n\x1a\n", 8), TContentKind::ckImage, "image/png"},
    {0, std::string_view("\xFF\xD8\xFF", 3), TContentKind::ckImage, "image/jpeg"},
    {0, "GIF87a", TContentKind::ckImage, "image/gif"},
    {0, "GIF89a", TContentKind::ckImage, "image/gif"},
    {0, "BM", TContentKind::ckImage, "image/bmp"},
    {0, std::string_view("PK\x03\x04", 4), TContentKind::ckZip, "application/zip"},
    {0, std::string_view("PK\x05\x06", 4), TContentKind::ckZip, "application/zip"},
    {4, "ftyp", TContentKind::ckVideo, "video/mp4"},
    {0, std::string_view("\x1A\x45\xDF\xA3", 4), TContentKind::ckVideo, "video/webm"},
    {0, "FLV", TContentKind::ckVideo, "video/x-flv"},
    {0, std::string_view("\x00\x00\x01\xBA", 4), TContentKind::ckVideo, "video/mpeg"},
}};

// Video containers have many signatures; an unknown one is still played when its name says video.
struct TVideoExtension {
    std::string_view Extension;
    std::string_view Mime;
};

const std::array<TVideoExtension, 5> KVideoExtensions = {{
    {"mp4", "video/mp4"},
    {"webm", "video/webm"},
    {"mkv", "video/x-matroska"},
    {"avi", "video/x-msvideo"},
    {"flv", "video/x-flv"},
}};

bool LooksLikeText(std::string_view AHead) {
    if (AHead.empty())
        return false;
    // Valid UTF-8 without NUL or stray control bytes; a cut at the end of the head is allowed.
    for (size_t i = 0; i < AHead.size();) {
        const auto c = uint8_t(AHead[i]);
        if (c < 0x80) {
            if (c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f'))
                return false;
            ++i;
            continue;
        }
        const int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (extra < 0)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= AHead.size())
                return true;
            if ((uint8_t(AHead[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += size_t(extra) + 1;
    }
    return true;
}

} // namespace

TContentType DetectContentType(std::string_view AHead, std::string_view AShownName) {
    for (const auto& signature : KSignatures)
        if (AHead.size() >= signature.Offset + signature.Bytes.size() &&
            AHead.substr(signature.Offset, signature.Bytes.size()) == signature.Bytes)
            return {signature.Kind, std::string(signature.Mime)};
    if (AHead.size() >= 12 && AHead.substr(0, 4) == "RIFF") {
        if (AHead.substr(8, 4) == "AVI ")
            return {TContentKind::ckVideo, "video/x-msvideo"};
        if (AHead.substr(8, 4) == "WEBP")
            return {TContentKind::ckImage, "image/webp"};
    }
    // Text of any name (an .html page included) is served as plain text, never as markup.
    if (LooksLikeText(AHead))
        return {TContentKind::ckText, "text/plain; charset=utf-8"};
    const auto dot = AShownName.rfind('.');
    if (dot != std::string_view::npos) {
        const auto extension = ToLower(AShownName.substr(dot + 1));
        for (const auto& entry : KVideoExtensions)
            if (entry.Extension == extension)
                return {TContentKind::ckVideo, std::string(entry.Mime)};
    }
    return {};
}

} // namespace pxh::service
