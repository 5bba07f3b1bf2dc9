// Grey-scale PNG pictures the service draws itself: QR codes of links and the banner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pxh::service {

// APixels: AWidth * AHeight grey values, row by row.
std::string EncodeGreyPng(int AWidth, int AHeight, const std::vector<uint8_t>& APixels);
// The QR code of AText, ASCale pixels per module, with the quiet zone; empty when the text does not fit.
std::string QrCodePng(const std::string& AText, int AScale = 4);
// A plain banner with a frame, so clients have a picture to load.
std::string BannerPng(int AWidth, int AHeight);

} // namespace pxh::service
