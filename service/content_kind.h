// What an upload is, from its first bytes, then from the shown name: never from the client's part type.
#pragma once

#include <string>
#include <string_view>

namespace pxh::service {

enum class TContentKind { ckImage, ckVideo, ckText, ckZip, ckOther };

struct TContentType {
    TContentKind Kind = TContentKind::ckOther;
    std::string Mime = "application/octet-stream";
    // Only pictures, videos and text are shown by the browser; the rest is a download.
    bool Inline() const {
        return Kind == TContentKind::ckImage || Kind == TContentKind::ckVideo || Kind == TContentKind::ckText;
    }
};

// AHead: the first bytes of the content (a few KiB are enough); AShownName: the orig_file field.
TContentType DetectContentType(std::string_view AHead, std::string_view AShownName);

} // namespace pxh::service
