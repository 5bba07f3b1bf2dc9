// Unit tests of the service's decision tables: credentials, content kinds, intake names, disk paths, reply
// shapes.
#include "service/account_store.h"
#include "service/content_kind.h"
#include "service/disk_fake.h"
#include "service/replies.h"
#include "service/text_util.h"
#include "service/upload_store.h"

#include <gtest/gtest.h>

namespace pxh::service {
namespace {

struct TCredentialCase {
    const char* Name;
    std::string Header;
    std::optional<TCredentials> Expected;
};

std::string Basic(const std::string& AInner) {
    return "Basic " + Base64Encode(AInner);
}

TEST(ServiceUnitTest, HexCredentialsDecodeOnlyInTheProgramsForm) {
    const std::vector<TCredentialCase> cases = {
        {"guest", "Basic Njc3NTY1NzM3NDo3MDZDNzU2RDYy", TCredentials{"guest", "plumb"}},
        {"ascii", Basic("616C696365:736563726574"), TCredentials{"alice", "secret"}},
        {"cyrillic", Basic("D0AED0BBD18F:31"), TCredentials{"Юля", "1"}},
        {"empty password", Basic("61:"), TCredentials{"a", ""}},
        {"odd-length hex", Basic("616:31"), std::nullopt},
        {"lower-case hex", Basic("616c696365:31"), std::nullopt},
        {"no colon", Basic("616C696365"), std::nullopt},
        {"bad base64", "Basic !!!!", std::nullopt},
        {"plain names", Basic("alice:secret"), std::nullopt},
        {"other scheme", "Bearer Njc3NTY1NzM3NDo3MDZDNzU2RDYy", std::nullopt},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.Name);
        const auto decoded = DecodeHexBasic(item.Header);
        ASSERT_EQ(decoded.has_value(), item.Expected.has_value());
        if (decoded) {
            EXPECT_EQ(decoded->User, item.Expected->User);
            EXPECT_EQ(decoded->Password, item.Expected->Password);
        }
    }
}

struct TKindCase {
    const char* Name;
    std::string Head;
    std::string ShownName;
    std::string Mime;
};

TEST(ServiceUnitTest, ContentTypeComesFromTheBytesNeverFromAnHtmlName) {
    const std::vector<TKindCase> cases = {
        {"png", std::string("\x89PNG\r\n\x1a\n....", 12), "x.jpg", "image/png"},
        {"jpeg", "\xFF\xD8\xFF\xE0rest", "x.png", "image/jpeg"},
        {"zip named like a picture", std::string("PK\x03\x04rest", 8), "clip.png", "application/zip"},
        {"html page", "<html><script>alert(1)</script></html>", "page.html", "text/plain; charset=utf-8"},
        {"utf-8 text", "Привет, мир\n", "note.txt", "text/plain; charset=utf-8"},
        {"mp4",
         std::string("\0\0\0\x18"
                     "ftypisom",
                     12),
         "clip.mp4", "video/mp4"},
        {"unknown video bytes", std::string("\0\x01\x02\x03", 4), "clip.mkv", "video/x-matroska"},
        {"binary named as a picture", std::string("\0\x01\x02\x03", 4), "x.png", "application/octet-stream"},
        {"svg", std::string("<svg onload=alert(1)>"), "x.svg", "text/plain; charset=utf-8"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.Name);
        EXPECT_EQ(DetectContentType(item.Head, item.ShownName).Mime, item.Mime);
    }
}

TEST(ServiceUnitTest, IntakeNamesFollowTheOnePattern) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"/incoming/clip4711.uploaded2", true},    {"/incoming/clip0.uploaded2", true},
        {"/incoming/clip9999999.uploaded2", true}, {"/incoming/clip10000000.uploaded2", false},
        {"/incoming/clip.uploaded2", false},       {"incoming/clip1.uploaded2", false},
        {"/incoming/../clip1.uploaded2", false},   {"/incoming/clip1.uploaded2/..", false},
        {"/incoming/clip1.uploaded", false},       {std::string("/incoming/clip1.uploaded2\0", 26), false},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(TUploadStore::IsIntakeName(name), valid) << name;
}

TEST(ServiceUnitTest, DiskPathsAreNormalisedAndDotDotRefused) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"disk:/Pixhoard/a.png", "Pixhoard/a.png"},
        {"/Pixhoard/", "Pixhoard"},
        {"Pixhoard", "Pixhoard"},
        {"disk:/", ""},
        {"/a/../b", std::nullopt},
        {"a//b", std::nullopt},
        {"./a", std::nullopt},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(TDiskFake::NormalisePath(path), expected) << path;
}

TEST(ServiceUnitTest, XmlRepliesStartWithTheBareRootExceptTheBanner) {
    TUploadReply upload{"http://h/", {}, {}, {"a", "b"}, "ok", true};
    upload.Record.Id = "ABCDEFGHIJ";
    upload.Record.Title = "A & <B>";
    const std::vector<std::string> replies = {ErrorXml(TLanguage::lEnglish, "bad_request"),
                                              MessageXml(TLanguage::lRussian, "discarded"),
                                              FoldersXml({"x"}),
                                              VersionXml("1.0.0.0", "http://h/", 0),
                                              SocialLoginXml("", "", "m"),
                                              UploadReplyXml(upload)};
    for (const auto& reply : replies)
        EXPECT_EQ(reply.rfind("<xml>", 0), 0u) << reply;
    EXPECT_EQ(BannerXml({}).rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?><Promo ", 0), 0u);
    EXPECT_EQ(FoldersXml({"Work", "Home"}), "<xml><folders>Work\tHome</folders></xml>");
    EXPECT_NE(UploadReplyXml(upload).find("<folders>a\tb</folders>"), std::string::npos);
}

TEST(ServiceUnitTest, LanguageNamesPickTheMessages) {
    EXPECT_EQ(Message(LanguageFromName("Russian"), "uploaded"), "Файл загружен");
    EXPECT_EQ(Message(LanguageFromName("French"), "uploaded"), "Fichier envoyé");
    EXPECT_EQ(Message(LanguageFromName("Klingon"), "uploaded"), "File uploaded");
}

} // namespace
} // namespace pxh::service
