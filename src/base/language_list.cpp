// The installed languages and the scan of the language folders.
#include "base/language_list.h"

#include "base/language_file.h"
#include "base/logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace pxh {

TLanguage::TLanguage(std::int32_t ALocaleID, const QString& AName, const QString& AFileName)
    : FLocaleID(ALocaleID)
    , FName(AName)
    , FFileName(AFileName) {}

std::int32_t TLanguage::LocaleID() const {
    std::lock_guard lock(FLock);
    return FLocaleID;
}

QString TLanguage::Name() const {
    std::lock_guard lock(FLock);
    return FName;
}

QString TLanguage::FileName() const {
    std::lock_guard lock(FLock);
    return FFileName;
}

void TLanguage::SetLocaleID(std::int32_t AValue) {
    std::lock_guard lock(FLock);
    FLocaleID = AValue;
}

void TLanguage::SetName(const QString& AValue) {
    std::lock_guard lock(FLock);
    FName = AValue;
}

void TLanguage::SetFileName(const QString& AValue) {
    std::lock_guard lock(FLock);
    FFileName = AValue;
}

TLanguageList::TLanguageList(QStringList AFolders)
    : FFolders(std::move(AFolders)) {}

void TLanguageList::Clear() {
    std::lock_guard lock(FLock);
    FItems.clear();
}

int TLanguageList::Count() const {
    std::lock_guard lock(FLock);
    return static_cast<int>(FItems.size());
}

std::shared_ptr<ILanguage> TLanguageList::Item(int AIndex) const {
    std::lock_guard lock(FLock);
    if (AIndex < 0 || static_cast<std::size_t>(AIndex) >= FItems.size())
        throw std::out_of_range("Argument out of range");
    return FItems[static_cast<std::size_t>(AIndex)];
}

std::shared_ptr<ILanguage> TLanguageList::AddItem(std::int32_t ALocaleID, const QString& AName,
                                                  const QString& AFileName) {
    std::lock_guard lock(FLock);
    if (auto existing = FindLocked(ALocaleID))
        return existing;
    return FItems.emplace_back(std::make_shared<TLanguage>(ALocaleID, AName, AFileName));
}

void TLanguageList::RefreshList() {
    std::lock_guard lock(FLock);
    for (const QString& folder : FFolders) {
        const QDir dir(folder);
        // Sorted by name, so which of two files for one locale wins does not depend on the file system.
        const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name);
        for (const QFileInfo& info : files) {
            try {
                const TLanguageTexts texts = TLanguageTexts::Read(info.absoluteFilePath());
                const auto locale = texts.Value(QStringLiteral("LocaleID"));
                const auto name = texts.Value(QStringLiteral("Name"));
                if (locale && name)
                    AddItem(ParseLocaleID(*locale), *name, info.absoluteFilePath());
            } catch (...) {
                ZRLogException(std::current_exception(), QStringLiteral(" TLanguageList.DoRefresh "));
            }
        }
    }
}

bool TLanguageList::HasLanguage(std::int32_t ALocaleID) const {
    return FindByLocID(ALocaleID) != nullptr;
}

std::shared_ptr<TLanguage> TLanguageList::FindByLocID(std::int32_t ALocaleID) const {
    std::lock_guard lock(FLock);
    return FindLocked(ALocaleID);
}

std::shared_ptr<TLanguage> TLanguageList::FindLocked(std::int32_t ALocaleID) const {
    for (const auto& item : FItems)
        if (item->LocaleID() == ALocaleID)
            return item;
    return nullptr;
}

QStringList DefaultLanguageFolders() {
    // applicationDirPath() needs an application object; tools and tests may run without one.
    const QString exeDir =
        QCoreApplication::instance()
            ? QCoreApplication::applicationDirPath()
            : QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    return {QDir::cleanPath(exeDir + QStringLiteral("/Lngs")),
            QDir::cleanPath(exeDir + QStringLiteral("/../share/pixhoard/Lngs"))};
}

} // namespace pxh
