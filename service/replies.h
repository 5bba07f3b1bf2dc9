// The service's reply bodies: XML replies in the forms the program reads, messages, and its own small pages.
#pragma once

#include "service/upload_store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pxh::service {

enum class TLanguage { lEnglish, lFrench, lRussian };

// The "language" field carries the language file's name; unknown names get English.
TLanguage LanguageFromName(const std::string& AName);
std::string Message(TLanguage ALanguage, const std::string& AKey);

// Every XML reply but the banner starts with "<xml": no declaration, no BOM.
std::string ErrorXml(TLanguage ALanguage, const std::string& AKey);
std::string MessageXml(TLanguage ALanguage, const std::string& AKey);
std::string FoldersXml(const std::vector<std::string>& AFolders);
std::string VersionXml(const std::string& AVersion, const std::string& AUrl, int64_t ASize);
std::string SocialLoginXml(const std::string& ALogin, const std::string& APassword,
                           const std::string& AMessage);

struct TBannerData {
    std::string ImageUrl;
    struct TArea {
        int Left, Top, Right, Bottom;
        std::string Url;
    };
    std::vector<TArea> Areas;
    int64_t Total = 0;
    int64_t Used = 0;
    std::string AccountUrl;
    std::string MyFilesUrl;
};
// The one reply with an XML declaration and the root "Promo".
std::string BannerXml(const TBannerData& AData);

struct TUploadReply {
    std::string Root; // the public root, ending in "/"
    TUploadRecord Record;
    std::vector<TUploadRecord> Members; // gallery pictures, in order
    std::vector<std::string> Folders;
    std::string MessageText;
    bool WithQrCode = true;
};
std::string UploadReplyXml(const TUploadReply& AReply);
// "label||code<TAB>" four times, blog, forum, IM, wiki, with <, > and " written as entities.
std::string CodeTemplates(const std::string& ALink, const std::string& ATitle, TContentKind AKind);

std::string FileLink(const std::string& ARoot, const std::string& AId);
std::string GalleryLink(const std::string& ARoot, const std::string& AId);
std::string SocialLink(const std::string& ARoot, const std::string& AId);
std::string QrLink(const std::string& ARoot, const std::string& AId);

std::string HtmlPage(const std::string& ATitle, const std::string& ABodyHtml);

} // namespace pxh::service
