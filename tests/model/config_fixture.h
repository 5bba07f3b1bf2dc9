// Helpers shared by the configuration tests: a fresh data folder and a walk over the stored settings.
#pragma once

#include "base/persist_object.h"
#include "file_helpers.h"
#include "model/pixhoard_config.h"
#include "support/temp_root.h"

#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace pxh::test {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot.applyToThisProcess();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    static TIntrusivePtr<TPixhoardConfig> NewConfig() { return MakeInterfaced<TPixhoardConfig>(); }
    static TIntrusivePtr<TPixhoardConfig> LoadedConfig() {
        auto Config = NewConfig();
        Config->Load();
        return Config;
    }
    static const std::vector<TPersistProperty>& Settings() {
        return TPixhoardConfig::StaticPersistClass().Properties();
    }
    // The value a setting takes from its default text.
    static TPersistValue DefaultOf(const TPersistProperty& AProp) {
        return TPersistObject::TextToValue(AProp, AProp.Attr.DefValue).value();
    }

    TempRoot FRoot;
};

// The text stored for a setting in a saved file, found by its section and name alone.
inline std::optional<QString> StoredText(const pugi::xml_document& ADoc, const TPersistProperty& AProp) {
    pugi::xml_node Root = ADoc.child("PixhoardConfig");
    const QByteArray Section = AProp.Attr.Section.toUtf8();
    const QByteArray Name = AProp.XMLName().toUtf8();
    pugi::xml_node Place = Section == "PixhoardConfig" ? Root : Root.child(Section.constData());
    if (!Place)
        return std::nullopt;
    if (AProp.Attr.IsXMLAttr) {
        const pugi::xml_attribute Attr = Place.attribute(Name.constData());
        return Attr ? std::optional(QString::fromUtf8(Attr.value())) : std::nullopt;
    }
    const pugi::xml_node Child = Place.child(Name.constData());
    return Child ? std::optional(QString::fromUtf8(Child.text().get())) : std::nullopt;
}

} // namespace pxh::test
