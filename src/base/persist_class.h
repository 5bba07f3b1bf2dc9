// The persistence metadata: per-class descriptor tables and the attributes of their properties.
#pragma once

#include "base/interfaced_object.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <concepts>
#include <cstdint>
#include <functional>
#include <span>
#include <type_traits>
#include <typeindex>
#include <variant>
#include <vector>

namespace pxh {

// The identifier table of an enumeration, found by argument-dependent lookup; the values must run
// from 0 upwards. Write it beside the enumeration, in its namespace:
//   PXH_ENUM_IDENTIFIERS(TUploadServerType, "ustHTTP", "ustFTP", "ustREST");
#define PXH_ENUM_IDENTIFIERS(Enum, ...)                                                                      \
    [[maybe_unused]] inline std::span<const char* const> EnumIdentifiers(Enum) {                             \
        static constexpr const char* const Names[] = {__VA_ARGS__};                                          \
        return Names;                                                                                        \
    }

// Declares the descriptor of a persistent class inside its public section; define
// StaticPersistClass() in the .cpp with TPersistClassBuilder.
#define PXH_PERSISTENT()                                                                                     \
    static const ::pxh::TPersistClass& StaticPersistClass();                                                 \
    const ::pxh::TPersistClass* PersistClass() const noexcept override {                                     \
        return &StaticPersistClass();                                                                        \
    }

// A default given as text, or as a number (stored as its decimal text) or a Boolean.
class TPersistDefault {
public:
    TPersistDefault(const char* AText)
        : FText(QString::fromUtf8(AText)) {}
    TPersistDefault(const QString& AText)
        : FText(AText) {}
    TPersistDefault(std::integral auto AValue) requires(!std::same_as<decltype(AValue), bool>)
        : FText(QString::number(AValue)) {}
    TPersistDefault(bool AValue)
        : FText(AValue ? QStringLiteral("True") : QStringLiteral("False")) {}
    TPersistDefault(double AValue)
        : FText(QString::number(AValue, 'g', 15)) {}
    const QString& Text() const { return FText; }

private:
    QString FText;
};

// The metadata of one persistent property. Name and section are kept trimmed, the default as given.
struct TPersistValueAttribute {
    QString Name;       // element or attribute name; empty: the property's own name
    int MinVersion = 1; // not used by the XML form
    QString Section;    // element holding the value; empty: the object's own element
    QString DefValue;   // the default as text
    int Order = 0;      // sort key
    bool IsXMLAttr = false;
    int MaxVersion = 0; // last object version with this property; 0 or less: every version

    TPersistValueAttribute(int AMinVersion, int AMaxVersion, int AOrder, const QString& ASection,
                           const QString& AName, const TPersistDefault& ADefault, bool AIsXMLAttr)
        : Name(AName.trimmed())
        , MinVersion(AMinVersion)
        , Section(ASection.trimmed())
        , DefValue(ADefault.Text())
        , Order(AOrder)
        , IsXMLAttr(AIsXMLAttr)
        , MaxVersion(AMaxVersion) {}
    TPersistValueAttribute(const QString& ASection, const QString& AName, const TPersistDefault& ADefault,
                           bool AIsXMLAttr)
        : TPersistValueAttribute(1, 0, 0, ASection, AName, ADefault, AIsXMLAttr) {}
    TPersistValueAttribute(const TPersistDefault& ADefault, bool AIsXMLAttr)
        : TPersistValueAttribute(1, 0, 0, QString(), QString(), ADefault, AIsXMLAttr) {}
    TPersistValueAttribute(int AOrder, const QString& ASection, const QString& AName,
                           const TPersistDefault& ADefault, bool AIsXMLAttr)
        : TPersistValueAttribute(1, 0, AOrder, ASection, AName, ADefault, AIsXMLAttr) {}
};

// The class attribute: element name (trimmed, never empty) and version.
struct TPersistObjectAttribute {
    QString Name;
    int Version = 1;
    TPersistObjectAttribute(const QString& AName, int AVersion);
};

// The kinds a property may have; the order is that of TPersistValue's alternatives.
enum class TPersistKind {
    pkInt32,
    pkInt64,
    pkBoolean,
    pkEnum,
    pkFloat,
    pkDateTime,
    pkString,
    pkStringList,
    pkObject
};

struct TEnumOrdinal {
    int Value = 0;
    bool operator==(const TEnumOrdinal&) const = default;
};

// One property value in transit between an object and its text form. A null date-time is the zero
// date-time (none).
using TPersistValue = std::variant<std::int32_t, std::int64_t, bool, TEnumOrdinal, double, QDateTime, QString,
                                   QStringList, TIntrusivePtr<TInterfacedObjectKVB>>;

struct TPersistProperty {
    QString Name; // the property's own name
    TPersistValueAttribute Attr;
    TPersistKind Kind = TPersistKind::pkString;
    std::span<const char* const> Identifiers; // enumerations
    std::function<TPersistValue(const TInterfacedObjectKVB&)> Get;
    std::function<void(TInterfacedObjectKVB&, const TPersistValue&)> Set; // empty when read-only
    std::function<TIntrusivePtr<TInterfacedObjectKVB>()> NewObject;       // objects: a default one

    bool Writable() const { return static_cast<bool>(Set); }
    // The element or attribute name of the XML form.
    const QString& XMLName() const { return Attr.Name.isEmpty() ? Name : Attr.Name; }
};

// The descriptor of one class: built once (a function-local static), shared by all its objects.
class TPersistClass {
public:
    TPersistClass(TPersistObjectAttribute AAttr, std::type_index AType, std::vector<TPersistProperty> AProps);
    const TPersistObjectAttribute& Attr() const { return FAttr; }
    std::type_index Type() const { return FType; }
    // Inherited properties included, sorted by Order; equal orders keep their declaration order.
    const std::vector<TPersistProperty>& Properties() const { return FProperties; }

private:
    TPersistObjectAttribute FAttr;
    std::type_index FType;
    std::vector<TPersistProperty> FProperties;
};

namespace persist_detail {

template <class V> struct TIsIntrusive : std::false_type {};
template <class X> struct TIsIntrusive<TIntrusivePtr<X>> : std::true_type { using Object = X; };

template <class V> constexpr TPersistKind KindOf() {
    if constexpr (std::is_same_v<V, bool>)
        return TPersistKind::pkBoolean;
    else if constexpr (std::is_enum_v<V>)
        return TPersistKind::pkEnum;
    else if constexpr (std::is_integral_v<V> && sizeof(V) <= 4)
        return TPersistKind::pkInt32;
    else if constexpr (std::is_integral_v<V> && sizeof(V) == 8)
        return TPersistKind::pkInt64;
    else if constexpr (std::is_floating_point_v<V>)
        return TPersistKind::pkFloat;
    else if constexpr (std::is_same_v<V, QDateTime>)
        return TPersistKind::pkDateTime;
    else if constexpr (std::is_same_v<V, QString>)
        return TPersistKind::pkString;
    else if constexpr (std::is_same_v<V, QStringList>)
        return TPersistKind::pkStringList;
    else if constexpr (TIsIntrusive<V>::value)
        return TPersistKind::pkObject;
    else
        static_assert(sizeof(V) == 0, "unsupported property type");
}

template <class V> TPersistValue ToValue(const V& AValue) {
    constexpr TPersistKind Kind = KindOf<V>();
    if constexpr (Kind == TPersistKind::pkEnum)
        return TEnumOrdinal{static_cast<int>(AValue)};
    else if constexpr (Kind == TPersistKind::pkInt32)
        return static_cast<std::int32_t>(AValue);
    else if constexpr (Kind == TPersistKind::pkInt64)
        return static_cast<std::int64_t>(AValue);
    else if constexpr (Kind == TPersistKind::pkFloat)
        return static_cast<double>(AValue);
    else if constexpr (Kind == TPersistKind::pkObject)
        return TIntrusivePtr<TInterfacedObjectKVB>(AValue);
    else
        return AValue;
}

template <class V> V FromValue(const TPersistValue& AValue) {
    constexpr TPersistKind Kind = KindOf<V>();
    const auto& Held = std::get<static_cast<std::size_t>(Kind)>(AValue);
    if constexpr (Kind == TPersistKind::pkEnum)
        return static_cast<V>(Held.Value);
    else if constexpr (Kind == TPersistKind::pkObject) {
        using X = typename TIsIntrusive<V>::Object;
        return V(dynamic_cast<X*>(Held.get()));
    } else
        return static_cast<V>(Held);
}

} // namespace persist_detail

// Builds the descriptor of class C (derived from Parent, whose properties it inherits; Parent =
// void for none). Accessors are member pointers or callables: a field (read and written directly),
// or a getter with a setter (nullptr for a read-only property), e.g.
//   .Prop("Language", &TPixhoardConfig::GetLanguage, &TPixhoardConfig::SetLanguage, {"Main", "", "English",
//   true})
template <class C, class Parent = void> class TPersistClassBuilder {
public:
    TPersistClassBuilder(const QString& AName, int AVersion)
        : FAttr(AName, AVersion) {
        if constexpr (!std::is_void_v<Parent>) {
            static_assert(std::is_base_of_v<Parent, C>);
            FProps = Parent::StaticPersistClass().Properties();
        }
    }

    template <class F>
    TPersistClassBuilder&& Prop(const QString& AName, F AField, TPersistValueAttribute AAttr) {
        static_assert(std::is_member_object_pointer_v<F>, "a field, or a getter with a setter");
        using V = std::remove_cvref_t<std::invoke_result_t<F, const C&>>;
        return Add<V>(
            AName, std::move(AAttr),
            [AField](const TInterfacedObjectKVB& AObj) { return std::invoke(AField, Self(AObj)); },
            [AField](TInterfacedObjectKVB& AObj, const TPersistValue& AValue) {
                std::invoke(AField, Self(AObj)) = persist_detail::FromValue<V>(AValue);
            });
    }

    template <class G, class S>
    TPersistClassBuilder&& Prop(const QString& AName, G AGetter, S ASetter, TPersistValueAttribute AAttr) {
        using V = std::remove_cvref_t<std::invoke_result_t<G, const C&>>;
        auto Get = [AGetter](const TInterfacedObjectKVB& AObj) { return std::invoke(AGetter, Self(AObj)); };
        if constexpr (std::is_null_pointer_v<S>) {
            return Add<V>(AName, std::move(AAttr), Get, nullptr);
        } else {
            return Add<V>(AName, std::move(AAttr), Get,
                          [ASetter](TInterfacedObjectKVB& AObj, const TPersistValue& AValue) {
                              std::invoke(ASetter, Self(AObj), persist_detail::FromValue<V>(AValue));
                          });
        }
    }

    operator TPersistClass() && { return TPersistClass(std::move(FAttr), typeid(C), std::move(FProps)); }

private:
    static const C& Self(const TInterfacedObjectKVB& AObj) { return static_cast<const C&>(AObj); }
    static C& Self(TInterfacedObjectKVB& AObj) { return static_cast<C&>(AObj); }

    template <class V, class G, class S>
    TPersistClassBuilder&& Add(const QString& AName, TPersistValueAttribute AAttr, G AGet, S ASet) {
        TPersistProperty Prop{AName, std::move(AAttr), persist_detail::KindOf<V>(), {}, {}, {}, {}};
        if constexpr (std::is_enum_v<V>)
            Prop.Identifiers = EnumIdentifiers(V{});
        if constexpr (persist_detail::TIsIntrusive<V>::value) {
            using X = typename persist_detail::TIsIntrusive<V>::Object;
            Prop.NewObject = [] { return TIntrusivePtr<TInterfacedObjectKVB>(MakeInterfaced<X>()); };
        }
        Prop.Get = [AGet](const TInterfacedObjectKVB& AObj) {
            return persist_detail::ToValue<V>(AGet(AObj));
        };
        if constexpr (!std::is_null_pointer_v<S>)
            Prop.Set = std::move(ASet);
        FProps.push_back(std::move(Prop));
        return std::move(*this);
    }

    TPersistObjectAttribute FAttr;
    std::vector<TPersistProperty> FProps;
};

} // namespace pxh
