// TPersistObject: the generic XML serializer driven by the classes' persistence descriptors.
#pragma once

#include "base/exception.h"
#include "base/interfaced_object.h"
#include "base/persist_class.h"

#include <QString>
#include <functional>
#include <optional>
#include <pugixml.hpp>

namespace pxh {

PXH_DECLARE_EXCEPTION(EPersistError, EPixhoard);

// Every conversion uses "." as the decimal separator and no locale, so passes on different threads
// never disturb one another. Date-times are written as "yyyy-MM-dd HH:mm:ss" (local time); the zero
// date-time is a null QDateTime.
class TPersistObject {
public:
    // Lists always; other classes when their own descriptor has at least one property.
    static bool CanSerialize(const TInterfacedObjectKVB& AObject) noexcept;
    static QString GetObjectName(const TInterfacedObjectKVB& AObject);
    static int GetObjectVersion(const TInterfacedObjectKVB& AObject);

    // Visits the persistent properties in order; an exception inside one visit is logged and the
    // walk goes on. Raises EPersistError when the object cannot be serialized.
    static void ForEachProperty(const TInterfacedObjectKVB& AObject,
                                const std::function<void(const TPersistProperty&)>& AProc);
    // The items of a list (nothing for other objects).
    static void ForEachObjListItem(const TInterfacedObjectKVB& AObject,
                                   const std::function<void(TInterfacedObjectKVB&)>& AProc);

    static void SetDefault(TInterfacedObjectKVB& AObject);
    // Copies the persistent properties matched by name (ignoring case); lists get copies of the items.
    static void Assign(const TInterfacedObjectKVB& ASource, TInterfacedObjectKVB& ADest);

    // Adds the declaration (to an empty document) and the root element.
    static void ToXMLDoc(const TInterfacedObjectKVB& AObject, pugi::xml_document& ADoc);
    static QString ToXMLString(const TInterfacedObjectKVB& AObject);
    static QByteArray ToXMLBytes(const TInterfacedObjectKVB& AObject);
    // Replaces the file atomically; raises EPersistError when it cannot be written (the old file stays).
    static void ToXMLFile(const TInterfacedObjectKVB& AObject, const QString& AFileName);

    // Raises EPersistError when no top-level element has the object's name.
    static void FromXMLDoc(TInterfacedObjectKVB& AObject, const pugi::xml_document& ADoc);
    // Raises EPersistError on malformed text, as for FromXMLDoc.
    static void FromXMLString(TInterfacedObjectKVB& AObject, const QString& AText);
    static void FromXMLBytes(TInterfacedObjectKVB& AObject, const QByteArray& AData);
    // Raises EPersistError when the file does not exist. A file that cannot be read or parsed, or
    // lacks the root element, is logged and gives false with the reason in AError; nothing is read
    // from a malformed file, so the object keeps its values (callers set defaults first).
    static bool FromXMLFile(TInterfacedObjectKVB& AObject, const QString& AFileName,
                            QString* AError = nullptr);

    static void ToXMLNode(const TInterfacedObjectKVB& AObject, pugi::xml_node AElement);
    // AElement may be empty: every property then takes its default.
    static void FromXMLNode(TInterfacedObjectKVB& AObject, pugi::xml_node AElement);

    // The text form of a value.
    static QString ValueToText(const TPersistProperty& AProp, const TPersistValue& AValue);
    // The value of a text; nullopt when the value is to stay unchanged (an empty Boolean or
    // enumeration text) or the text is not a known identifier.
    static std::optional<TPersistValue> TextToValue(const TPersistProperty& AProp, const QString& AText);

    // pugixml flags for reading: line ends and blank-only texts kept as written.
    static constexpr unsigned ParseFlags =
        (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata_single;
};

// Number conversions of the persistence and version texts: decimal or "$"/"0x" hexadecimal, with an
// optional sign; nullopt for anything else or a value out of range.
std::optional<std::int32_t> ParseInt32(const QString& AText);
std::optional<std::int64_t> ParseInt64(const QString& AText);

} // namespace pxh
