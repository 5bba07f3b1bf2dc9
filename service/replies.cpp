// The service's reply bodies, built with pugixml so every text is escaped once and correctly.
#include "service/replies.h"

#include "service/text_util.h"

#include <algorithm>
#include <climits>
#include <map>
#include <pugixml.hpp>
#include <sstream>

namespace pxh::service {

namespace {

struct TTexts {
    const char* English;
    const char* French;
    const char* Russian;
};

const std::map<std::string, TTexts>& Texts() {
    static const std::map<std::string, TTexts> KTexts = {
        {"uploaded", {"File uploaded", "Fichier envoyé", "Файл загружен"}},
        {"reserved",
         {"Link reserved, the file is on its way", "Lien réservé, le fichier arrive",
          "Ссылка зарезервирована, файл загружается"}},
        {"discarded", {"Upload discarded", "Envoi annulé", "Загрузка отменена"}},
        {"discard_noted", {"Cancel noted", "Annulation notée", "Отмена принята"}},
        {"bad_request", {"Malformed request", "Requête mal formée", "Неверный запрос"}},
        {"bad_mode", {"Unknown mode", "Mode inconnu", "Неизвестный режим"}},
        {"missing_field",
         {"A required field is missing", "Un champ obligatoire manque", "Не хватает обязательного поля"}},
        {"repeated_field",
         {"A field was sent twice", "Un champ a été envoyé deux fois", "Поле передано дважды"}},
        {"field_too_large", {"A field is too large", "Un champ est trop grand", "Слишком длинное поле"}},
        {"unknown_part",
         {"Unexpected file part", "Partie de fichier inattendue", "Неожиданная часть запроса"}},
        {"no_file", {"No file was sent", "Aucun fichier envoyé", "Файл не передан"}},
        {"both_files",
         {"Send either a file or an intake name, not both", "Envoyez un fichier ou un nom, pas les deux",
          "Нужен либо файл, либо имя на FTP, но не оба"}},
        {"empty_file", {"The file is empty", "Le fichier est vide", "Файл пуст"}},
        {"guest_limit",
         {"Upload of files bigger than 3 MB is available for registered users only",
          "L'envoi de fichiers de plus de 3 Mo est réservé aux utilisateurs inscrits",
          "Загрузка файлов размером больше 3 Мб доступна только зарегистрированным пользователям"}},
        {"quota", {"Your storage is full", "Votre espace est plein", "Ваше место закончилось"}},
        {"body_too_large",
         {"The request is too large", "La requête est trop grande", "Слишком большой запрос"}},
        {"no_credentials", {"Sign-in required", "Connexion requise", "Требуется вход"}},
        {"wrong_credentials",
         {"Wrong user name or password", "Nom d'utilisateur ou mot de passe incorrect",
          "Неверное имя пользователя или пароль"}},
        {"bad_ftp_file",
         {"Invalid intake file name", "Nom de fichier FTP invalide", "Неверное имя файла на FTP"}},
        {"missing_ftp_file",
         {"The intake file has not arrived or was already used",
          "Le fichier FTP n'est pas arrivé ou a déjà servi", "Файл на FTP не найден или уже использован"}},
        {"unknown_reservation", {"Unknown upload", "Envoi inconnu", "Неизвестная загрузка"}},
        {"foreign_reservation",
         {"This upload belongs to another account", "Cet envoi appartient à un autre compte",
          "Эта загрузка принадлежит другому пользователю"}},
        {"void_reservation",
         {"This upload was cancelled or has expired", "Cet envoi a été annulé ou a expiré",
          "Загрузка отменена или устарела"}},
        {"bad_archive", {"The archive cannot be read", "L'archive est illisible", "Архив не читается"}},
        {"bad_archive_entry",
         {"The archive holds an unsafe name or a link", "L'archive contient un nom dangereux ou un lien",
          "В архиве недопустимое имя или ссылка"}},
        {"archive_too_large",
         {"The archive is too large", "L'archive est trop grande", "Архив слишком большой"}},
        {"bad_number", {"A number field is invalid", "Un champ numérique est invalide", "Неверное число"}},
        {"social_unknown",
         {"This sign-in link is unknown or was already used",
          "Ce lien de connexion est inconnu ou a déjà servi",
          "Ссылка для входа неизвестна или уже использована"}},
        {"social_ok", {"Signed in", "Connecté", "Вход выполнен"}},
        {"server_error", {"Internal error", "Erreur interne", "Внутренняя ошибка"}},
    };
    return KTexts;
}

std::string Save(const pugi::xml_document& ADocument, bool AWithDeclaration) {
    std::ostringstream out;
    unsigned flags = pugi::format_raw;
    if (!AWithDeclaration)
        flags |= pugi::format_no_declaration;
    ADocument.save(out, "", flags, pugi::encoding_utf8);
    return out.str();
}

void Child(pugi::xml_node AParent, const char* AName, const std::string& AText) {
    AParent.append_child(AName).text().set(AText.c_str());
}

std::string Join(const std::vector<std::string>& AItems, const std::string& ASeparator) {
    std::string out;
    for (size_t i = 0; i < AItems.size(); ++i)
        out += (i ? ASeparator : "") + AItems[i];
    return out;
}

// Titles go into link codes: no entity-breaking or separator characters.
std::string CodeSafe(const std::string& AText) {
    std::string out;
    for (char c : AText)
        if (c != '&' && c != '<' && c != '>' && c != '"' && c != '\t' && c != '\r' && c != '\n' && c != '|' &&
            c != '[' && c != ']')
            out += c;
    return out.empty() ? "file" : out;
}

std::string Entities(const std::string& AText) {
    std::string out;
    for (char c : AText) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string EmbedCode(const std::string& ALink, const std::string& ATitle, const TUploadRecord& ARecord) {
    const std::string title = CodeSafe(ATitle);
    if (ARecord.Kind == TContentKind::ckImage || ARecord.IsGallery())
        return "<a href=\"" + ALink + "\"><img src=\"" + ALink + "\" alt=\"" + title + "\"></a>";
    if (ARecord.Kind == TContentKind::ckVideo) {
        std::string size;
        if (ARecord.Width > 0 && ARecord.Height > 0)
            size = " width=\"" + std::to_string(ARecord.Width) + "\" height=\"" +
                   std::to_string(ARecord.Height) + "\"";
        return "<video src=\"" + ALink + "\" controls" + size + "></video>";
    }
    return "<a href=\"" + ALink + "\">" + title + "</a>";
}

} // namespace

TLanguage LanguageFromName(const std::string& AName) {
    const std::string name = ToLower(AName);
    if (name.rfind("russ", 0) == 0 || AName.rfind("Рус", 0) == 0 || AName.rfind("рус", 0) == 0 ||
        name == "ru")
        return TLanguage::lRussian;
    if (name.rfind("fren", 0) == 0 || name.rfind("fran", 0) == 0 || name == "fr")
        return TLanguage::lFrench;
    return TLanguage::lEnglish;
}

std::string Message(TLanguage ALanguage, const std::string& AKey) {
    const auto it = Texts().find(AKey);
    if (it == Texts().end())
        return AKey;
    switch (ALanguage) {
    case TLanguage::lFrench:
        return it->second.French;
    case TLanguage::lRussian:
        return it->second.Russian;
    case TLanguage::lEnglish:
        break;
    }
    return it->second.English;
}

std::string ErrorXml(TLanguage ALanguage, const std::string& AKey) {
    pugi::xml_document doc;
    auto root = doc.append_child("xml");
    Child(root, "url", "error");
    Child(root, "message", Message(ALanguage, AKey));
    return Save(doc, false);
}

std::string MessageXml(TLanguage ALanguage, const std::string& AKey) {
    pugi::xml_document doc;
    Child(doc.append_child("xml"), "message", Message(ALanguage, AKey));
    return Save(doc, false);
}

std::string FoldersXml(const std::vector<std::string>& AFolders) {
    pugi::xml_document doc;
    // The program takes the text of the first child, so folders must come first.
    Child(doc.append_child("xml"), "folders", Join(AFolders, "\t"));
    return Save(doc, false);
}

std::string VersionXml(const std::string& AVersion, const std::string& AUrl, int64_t ASize) {
    pugi::xml_document doc;
    auto root = doc.append_child("xml");
    Child(root, "version", AVersion);
    Child(root, "url", AUrl);
    Child(root, "size", std::to_string(ASize));
    return Save(doc, false);
}

std::string SocialLoginXml(const std::string& ALogin, const std::string& APassword,
                           const std::string& AMessage) {
    pugi::xml_document doc;
    auto root = doc.append_child("xml");
    Child(root, "login", ALogin);
    Child(root, "password", APassword);
    Child(root, "message", AMessage);
    return Save(doc, false);
}

std::string BannerXml(const TBannerData& AData) {
    auto figure = [](int64_t AValue) {
        return std::to_string(std::clamp<int64_t>(AValue, 0, INT32_MAX)); // the program reads 32-bit figures
    };
    pugi::xml_document doc;
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    auto promo = doc.append_child("Promo");
    promo.append_attribute("Version") = "1";
    promo.append_attribute("Image") = AData.ImageUrl.c_str();
    auto map = promo.append_child("Map");
    map.append_attribute("Version") = "1";
    auto items = map.append_child("Items");
    items.append_attribute("Count") = std::to_string(AData.Areas.size()).c_str();
    for (const auto& area : AData.Areas) {
        auto node = items.append_child("Area");
        node.append_attribute("Version") = "1";
        node.append_attribute("Left") = area.Left;
        node.append_attribute("Top") = area.Top;
        node.append_attribute("Right") = area.Right;
        node.append_attribute("Bottom") = area.Bottom;
        node.append_attribute("URL") = area.Url.c_str();
    }
    auto space = promo.append_child("Space");
    space.append_attribute("Total") = figure(AData.Total).c_str();
    space.append_attribute("Used") = figure(AData.Used).c_str();
    space.append_attribute("Left") = figure(AData.Total - AData.Used).c_str();
    auto urls = promo.append_child("UserURLs");
    urls.append_attribute("account") = AData.AccountUrl.c_str();
    urls.append_attribute("myfiles") = AData.MyFilesUrl.c_str();
    return Save(doc, true);
}

std::string FileLink(const std::string& ARoot, const std::string& AId) {
    return ARoot + "f/" + AId;
}
std::string GalleryLink(const std::string& ARoot, const std::string& AId) {
    return ARoot + "g/" + AId;
}
std::string SocialLink(const std::string& ARoot, const std::string& AId) {
    return ARoot + "s/" + AId;
}
std::string QrLink(const std::string& ARoot, const std::string& AId) {
    return ARoot + "qr/" + AId + ".png";
}

std::string CodeTemplates(const std::string& ALink, const std::string& ATitle, TContentKind AKind) {
    const std::string title = CodeSafe(ATitle);
    const bool picture = AKind == TContentKind::ckImage;
    const std::string blog =
        picture ? "<a href=\"" + ALink + "\"><img src=\"" + ALink + "\" alt=\"" + title + "\"></a>"
                : "<a href=\"" + ALink + "\">" + title + "</a>";
    const std::string forum = picture ? "[url=" + ALink + "][img]" + ALink + "[/img][/url]"
                                      : "[url=" + ALink + "]" + title + "[/url]";
    const std::string wiki = "[" + ALink + " " + title + "]";
    return Entities("Blog||" + blog + "\tForum||" + forum + "\tIM||" + ALink + "\tWiki||" + wiki + "\t");
}

std::string UploadReplyXml(const TUploadReply& AReply) {
    const auto& record = AReply.Record;
    const std::string link =
        record.IsGallery() ? GalleryLink(AReply.Root, record.Id) : FileLink(AReply.Root, record.Id);
    std::string url = link;
    if (record.IsGallery()) {
        // The program takes the text before the first space as the gallery's link and drops the first line.
        url += " Gallery";
        for (const auto& member : AReply.Members)
            url += "\n" + FileLink(AReply.Root, member.Id);
    }
    const std::string title = record.Title.empty() ? record.OrigFile : record.Title;
    pugi::xml_document doc;
    auto root = doc.append_child("xml");
    Child(root, "url", url);
    Child(root, "code", EmbedCode(link, title, record));
    Child(root, "codeTemplates",
          CodeTemplates(link, title, record.IsGallery() ? TContentKind::ckImage : record.Kind));
    Child(root, "folders", Join(AReply.Folders, "\t"));
    if (AReply.WithQrCode)
        Child(root, "qrcode", QrLink(AReply.Root, record.Id));
    Child(root, "socialurl", SocialLink(AReply.Root, record.Id));
    Child(root, "message", AReply.MessageText);
    Child(root, "history", record.Id);
    return Save(doc, false);
}

std::string HtmlPage(const std::string& ATitle, const std::string& ABodyHtml) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(ATitle) +
           "</title></head><body><h1>" + HtmlEscape(ATitle) + "</h1>\n" + ABodyHtml + "\n</body></html>\n";
}

} // namespace pxh::service
