// The localizer: texts of the current language by identifier, and the global text functions.
#pragma once

#include "base/language_file.h"
#include "base/language_list.h"
#include "base/safe_format.h"

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <span>

namespace pxh {

class ILocalizer {
public:
    virtual ~ILocalizer() = default;
    // The current language's text with every "#$D" replaced by CR LF; empty when it has none.
    virtual QString GetText(int ATextID) const = 0;
    // The same from the language with that locale; empty when it is not installed.
    virtual QString GetText(int ATextID, std::int32_t ALocaleID) const = 0;
    virtual std::int32_t LocaleID() const = 0;
    virtual void SetLocaleID(std::int32_t AValue) = 0;
    virtual std::shared_ptr<ILanguageList> Languages() const = 0;
    virtual QString LanguageName() const = 0;
};

class TLocalizer final : public ILocalizer {
public:
    // Scans the folders at once; no language is current until SetLocaleID.
    explicit TLocalizer(QStringList AFolders = DefaultLanguageFolders());

    QString GetText(int ATextID) const override;
    QString GetText(int ATextID, std::int32_t ALocaleID) const override;
    std::int32_t LocaleID() const override;
    // Takes the language of that locale, else English. The file is read before anything changes, so
    // a file that cannot be read raises ELanguageFile and leaves the current language as it was.
    // With neither installed nothing changes.
    void SetLocaleID(std::int32_t AValue) override;
    std::shared_ptr<ILanguageList> Languages() const override { return FLanguages; }
    QString LanguageName() const override;

    // The stored texts with "_" as blanks but "#$D" kept.
    QString GetString(int ATextID) const;
    QString GetString(std::int32_t ALocaleID, int ATextID) const;

private:
    using TTexts = std::shared_ptr<const TLanguageTexts>;
    TTexts TextsOf(std::int32_t ALocaleID) const;
    static QString Lookup(const TTexts& ATexts, int ATextID);

    mutable std::mutex FLock;
    std::int32_t FLocaleID = 0;
    std::shared_ptr<TLanguageList> FLanguages;
    TTexts FStrings;
    // Other languages are asked for as the English fall-back of missing texts, so each is read once.
    mutable std::map<std::int32_t, TTexts> FOtherTexts;
};

// The global localizer; swapped atomically so that a lookup racing the release either answers or
// gives an empty text.
void SetGlobalLocalizer(std::shared_ptr<ILocalizer> ALocalizer) noexcept;
std::shared_ptr<ILocalizer> GlobalLocalizer() noexcept;

// The current language's text, else the English one; empty without a localizer; "! Exception !"
// when the lookup raises. Callable from any thread.
QString LocalizedText(int ATextID) noexcept;

// LocalizedText used as a format pattern. Never raises: a pattern that does not fit the arguments
// (a damaged or careless translation) is replaced by the English pattern, and when that does not fit
// either, the pattern is returned unformatted. Either case is logged with the identifier.
QString LocalizedFormat(int ATextID, std::span<const TFormatArg> AArgs) noexcept;
QString LocalizedFormat(int ATextID, std::initializer_list<TFormatArg> AArgs) noexcept;

} // namespace pxh
