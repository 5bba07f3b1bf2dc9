// The localizer and the global text functions.
#include "base/localizer.h"

#include "base/logger.h"

namespace pxh {

TLocalizer::TLocalizer(QStringList AFolders)
    : FLanguages(std::make_shared<TLanguageList>(std::move(AFolders))) {
    FLanguages->RefreshList();
}

QString TLocalizer::GetText(int ATextID) const {
    return ExpandLineBreaks(GetString(ATextID));
}

QString TLocalizer::GetText(int ATextID, std::int32_t ALocaleID) const {
    return ExpandLineBreaks(GetString(ALocaleID, ATextID));
}

std::int32_t TLocalizer::LocaleID() const {
    std::lock_guard lock(FLock);
    return FLocaleID;
}

void TLocalizer::SetLocaleID(std::int32_t AValue) {
    auto language = FLanguages->FindByLocID(AValue);
    if (!language)
        language = FLanguages->FindByLocID(cLocaleEnglish);
    if (!language)
        return;
    // Read outside the lock: lookups from other threads go on answering in the old language meanwhile.
    auto texts = std::make_shared<const TLanguageTexts>(TLanguageTexts::Read(language->FileName()));
    std::lock_guard lock(FLock);
    FLocaleID = AValue;
    FStrings = std::move(texts);
}

QString TLocalizer::LanguageName() const {
    std::lock_guard lock(FLock);
    if (!FStrings)
        return {};
    return FStrings->Value(QStringLiteral("Name")).value_or(QString());
}

QString TLocalizer::GetString(int ATextID) const {
    TTexts texts;
    {
        std::lock_guard lock(FLock);
        texts = FStrings;
    }
    return Lookup(texts, ATextID);
}

QString TLocalizer::GetString(std::int32_t ALocaleID, int ATextID) const {
    return Lookup(TextsOf(ALocaleID), ATextID);
}

TLocalizer::TTexts TLocalizer::TextsOf(std::int32_t ALocaleID) const {
    std::lock_guard lock(FLock);
    if (ALocaleID == FLocaleID)
        return FStrings;
    if (const auto it = FOtherTexts.find(ALocaleID); it != FOtherTexts.end())
        return it->second;
    const auto language = FLanguages->FindByLocID(ALocaleID);
    if (!language)
        return nullptr;
    // A file that cannot be read raises to the caller and is tried again on the next request.
    auto texts = std::make_shared<const TLanguageTexts>(TLanguageTexts::Read(language->FileName()));
    FOtherTexts.emplace(ALocaleID, texts);
    return texts;
}

QString TLocalizer::Lookup(const TTexts& ATexts, int ATextID) {
    if (!ATexts)
        return {};
    const auto value = ATexts->Value(TextKey(ATextID));
    return value ? UnescapeBlanks(*value) : QString();
}

namespace {

std::mutex GGlobalLock;
std::shared_ptr<ILocalizer> GGlobalLocalizer;

QString EnglishText(const std::shared_ptr<ILocalizer>& ALocalizer, int ATextID) noexcept {
    try {
        return ALocalizer ? ALocalizer->GetText(ATextID, cLocaleEnglish) : QString();
    } catch (...) {
        return {};
    }
}

} // namespace

void SetGlobalLocalizer(std::shared_ptr<ILocalizer> ALocalizer) noexcept {
    std::shared_ptr<ILocalizer> old;
    {
        std::lock_guard lock(GGlobalLock);
        old = std::exchange(GGlobalLocalizer, std::move(ALocalizer));
    }
    // The old localizer is released here, outside the lock.
}

std::shared_ptr<ILocalizer> GlobalLocalizer() noexcept {
    std::lock_guard lock(GGlobalLock);
    return GGlobalLocalizer;
}

QString LocalizedText(int ATextID) noexcept {
    try {
        const auto localizer = GlobalLocalizer();
        if (!localizer)
            return {};
        QString result = localizer->GetText(ATextID);
        if (result.isEmpty())
            result = localizer->GetText(ATextID, cLocaleEnglish);
        return result;
    } catch (...) {
        return QStringLiteral("! Exception !");
    }
}

QString LocalizedFormat(int ATextID, std::span<const TFormatArg> AArgs) noexcept {
    try {
        const QString pattern = LocalizedText(ATextID);
        if (auto result = SafeFormat(pattern, AArgs))
            return *result;
        const QString english = EnglishText(GlobalLocalizer(), ATextID);
        if (english != pattern) {
            if (auto result = SafeFormat(english, AArgs)) {
                ZRLogFormat(
                    QStringLiteral("LocalizedFormat: text %d of the current language does not fit its "
                                   "arguments; the English text is used"),
                    {ATextID});
                return *result;
            }
        }
        ZRLogFormat(QStringLiteral("LocalizedFormat: text %d does not fit its arguments"), {ATextID});
        return pattern;
    } catch (...) {
        return QStringLiteral("! Exception !");
    }
}

QString LocalizedFormat(int ATextID, std::initializer_list<TFormatArg> AArgs) noexcept {
    return LocalizedFormat(ATextID, std::span<const TFormatArg>(AArgs.begin(), AArgs.size()));
}

} // namespace pxh
