// Small text, random and file helpers shared by the service's parts.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pxh::service {

std::optional<std::string> Base64Decode(std::string_view AText);
std::string Base64Encode(std::string_view AData);
// Upper-case hex only: the program writes its credentials so, anything else is not ours.
std::optional<std::string> HexDecodeUpper(std::string_view AText);
std::string HtmlEscape(std::string_view AText);
std::string ToLower(std::string_view AText);
bool ConstantTimeEquals(std::string_view A, std::string_view B);
// Letters and digits from the system's random source.
std::string RandomToken(size_t ALength);

std::optional<std::string> ReadWholeFile(const std::filesystem::path& APath);
// Temporary file beside the target, then rename: readers never see half a file.
void WriteFileAtomic(const std::filesystem::path& APath, std::string_view AData);

} // namespace pxh::service
