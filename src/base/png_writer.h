// A fast PNG encoder for the 8-bit true-colour pictures that captures are.
#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace pxh {

// The PNG of AImage: RGB for opaque formats, RGBA for formats with alpha (straight, not premultiplied),
// with its resolution. Each row is filtered with "up" or Paeth and libdeflate compresses the whole
// picture at once: about Qt's default file size in a fraction of its time. None for pictures it does not
// cover (indexed, grey, deep colour, a colour space, texts, over 1 GiB of pixels); Qt's writer takes those.
std::optional<QByteArray> EncodePng(const QImage& AImage);

} // namespace pxh
