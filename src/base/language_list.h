// The installed languages: one entry per language file found in the language folders.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace pxh {

// Windows locale identifiers, as the language files store them.
constexpr std::int32_t cLocaleEnglish = 1033; // 0409
constexpr std::int32_t cLocaleFrench = 1036;  // 040C
constexpr std::int32_t cLocaleRussian = 1049; // 0419

class ILanguage {
public:
    virtual ~ILanguage() = default;
    virtual std::int32_t LocaleID() const = 0;
    virtual QString Name() const = 0;
    virtual QString FileName() const = 0;
};

class TLanguage final : public ILanguage {
public:
    TLanguage(std::int32_t ALocaleID, const QString& AName, const QString& AFileName);

    std::int32_t LocaleID() const override;
    QString Name() const override;
    QString FileName() const override;
    void SetLocaleID(std::int32_t AValue);
    void SetName(const QString& AValue);
    void SetFileName(const QString& AValue);

private:
    mutable std::mutex FLock;
    std::int32_t FLocaleID;
    QString FName;
    QString FFileName;
};

class ILanguageList {
public:
    virtual ~ILanguageList() = default;
    virtual void Clear() = 0;
    virtual int Count() const = 0;
    // Raises std::out_of_range outside 0 .. Count() - 1.
    virtual std::shared_ptr<ILanguage> Item(int AIndex) const = 0;
    // The language already listed for that locale, unchanged, or a new entry appended.
    virtual std::shared_ptr<ILanguage> AddItem(std::int32_t ALocaleID, const QString& AName,
                                               const QString& AFileName) = 0;
    // Adds the languages of files found since the last scan; the list is not cleared first.
    virtual void RefreshList() = 0;
    virtual bool HasLanguage(std::int32_t ALocaleID) const = 0;
};

class TLanguageList final : public ILanguageList {
public:
    // AFolders are scanned in order, so a locale found in an earlier folder wins.
    explicit TLanguageList(QStringList AFolders);

    void Clear() override;
    int Count() const override;
    std::shared_ptr<ILanguage> Item(int AIndex) const override;
    std::shared_ptr<ILanguage> AddItem(std::int32_t ALocaleID, const QString& AName,
                                       const QString& AFileName) override;
    void RefreshList() override;
    bool HasLanguage(std::int32_t ALocaleID) const override;

    std::shared_ptr<TLanguage> FindByLocID(std::int32_t ALocaleID) const;
    const QStringList& Folders() const { return FFolders; }

private:
    std::shared_ptr<TLanguage> FindLocked(std::int32_t ALocaleID) const;

    // Recursive: RefreshList holds it for the whole scan and calls AddItem.
    mutable std::recursive_mutex FLock;
    QStringList FFolders;
    std::vector<std::shared_ptr<TLanguage>> FItems;
};

// "Lngs" beside the executable (the build tree and tests), then "../share/pixhoard/Lngs" beside it
// (an installed program).
QStringList DefaultLanguageFolders();

} // namespace pxh
