// The XML form of persistent objects: writing, reading, defaults, copying and the value texts.
#include "base/persist_object.h"

#include "base/atomic_file.h"
#include "base/interfaced_object_list.h"
#include "base/logger.h"
#include "base/system_utils.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace pxh {

namespace {

std::string U8(const QString& AText) {
    return AText.toUtf8().toStdString();
}
QString Q(const char* AText) {
    return QString::fromUtf8(AText);
}

const TInterfacedObjectListBase* AsList(const TInterfacedObjectKVB& AObject) {
    return dynamic_cast<const TInterfacedObjectListBase*>(&AObject);
}
TInterfacedObjectListBase* AsList(TInterfacedObjectKVB& AObject) {
    return dynamic_cast<TInterfacedObjectListBase*>(&AObject);
}

// Only the class's own descriptor counts: a subclass without one is not serializable.
const TPersistClass* OwnDescriptor(const TInterfacedObjectKVB& AObject) noexcept {
    const TPersistClass* Desc = AObject.PersistClass();
    return Desc && Desc->Type() == std::type_index(typeid(AObject)) ? Desc : nullptr;
}

void CheckSerializable(const TInterfacedObjectKVB& AObject) {
    if (!TPersistObject::CanSerialize(AObject))
        throw EPersistError(
            QStringLiteral("Can't serialize object of class \"%1\"").arg(AObject.ClassName()));
}

bool SameName(const char* AElementName, const QString& AName) {
    return Q(AElementName).compare(AName, Qt::CaseInsensitive) == 0;
}

// Days since the zero date-time are the old numeric form.
constexpr const char* DateTimeFormat = "yyyy-MM-dd HH:mm:ss";

QString JoinLines(const QStringList& ALines) {
    QString Text;
    for (const QString& Line : ALines)
        Text += Line + QStringLiteral("\r\n");
    return Text;
}

QStringList SplitLines(const QString& AText) {
    QStringList Lines;
    qsizetype Start = 0;
    for (qsizetype I = 0; I < AText.size(); ++I) {
        const QChar C = AText[I];
        if (C == QLatin1Char('\r') || C == QLatin1Char('\n')) {
            Lines << AText.mid(Start, I - Start);
            if (C == QLatin1Char('\r') && I + 1 < AText.size() && AText[I + 1] == QLatin1Char('\n'))
                ++I;
            Start = I + 1;
        }
    }
    if (Start < AText.size())
        Lines << AText.mid(Start);
    return Lines;
}

template <class T> std::optional<T> ParseInteger(const QString& AText) {
    using U = std::make_unsigned_t<T>;
    QStringView Text = QStringView(AText).trimmed();
    bool Negative = false;
    if (!Text.isEmpty() && (Text[0] == QLatin1Char('-') || Text[0] == QLatin1Char('+'))) {
        Negative = Text[0] == QLatin1Char('-');
        Text = Text.mid(1);
    }
    int Base = 10;
    if (Text.startsWith(QLatin1Char('$'))) {
        Base = 16;
        Text = Text.mid(1);
    } else if (Text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        Base = 16;
        Text = Text.mid(2);
    }
    if (Text.isEmpty())
        return std::nullopt;
    // Hexadecimal texts give the bits (so "$FFFFFFFF" is -1); decimal ones must fit the range.
    const U Limit = Base == 16 ? std::numeric_limits<U>::max()
                               : static_cast<U>(std::numeric_limits<T>::max()) + (Negative ? 1 : 0);
    U Value = 0;
    for (const QChar C : Text) {
        const int Digit = C.isDigit() ? C.digitValue()
                          : (Base == 16 && C.toLower() >= QLatin1Char('a') && C.toLower() <= QLatin1Char('f'))
                              ? C.toLower().unicode() - 'a' + 10
                              : -1;
        if (Digit < 0 || Digit >= Base || C.unicode() > 127)
            return std::nullopt;
        if (Value > (Limit - static_cast<U>(Digit)) / static_cast<U>(Base))
            return std::nullopt;
        Value = Value * static_cast<U>(Base) + static_cast<U>(Digit);
    }
    return static_cast<T>(Negative ? static_cast<U>(U{0} - Value) : Value);
}

std::optional<int> IdentifierIndex(std::span<const char* const> AIdentifiers, const QString& AText) {
    for (std::size_t I = 0; I < AIdentifiers.size(); ++I)
        if (AText.compare(Q(AIdentifiers[I]), Qt::CaseInsensitive) == 0)
            return static_cast<int>(I);
    return std::nullopt;
}

// Section element for writing: the element itself, or its child of that exact name (made if missing).
pugi::xml_node SectionForWrite(pugi::xml_node AElement, const QString& ASection) {
    if (ASection.isEmpty() || SameName(AElement.name(), ASection))
        return AElement;
    const std::string Name = U8(ASection);
    pugi::xml_node Child = AElement.child(Name.c_str());
    return Child ? Child : AElement.append_child(Name.c_str());
}

pugi::xml_node SectionForRead(pugi::xml_node AElement, const QString& ASection) {
    if (!AElement || ASection.isEmpty() || SameName(AElement.name(), ASection))
        return AElement;
    return AElement.child(U8(ASection).c_str());
}

bool IsTextOnly(pugi::xml_node AElement) {
    if (!AElement.first_child())
        return false;
    for (pugi::xml_node Child : AElement.children())
        if (Child.type() != pugi::node_pcdata && Child.type() != pugi::node_cdata)
            return false;
    return true;
}

void ValueToElement(const TPersistProperty& AProp, const TPersistValue& AValue, pugi::xml_node AElement) {
    const std::string Name = U8(AProp.XMLName());
    if (AProp.Kind == TPersistKind::pkObject) {
        const auto& Object = std::get<TIntrusivePtr<TInterfacedObjectKVB>>(AValue);
        if (!Object)
            return;
        pugi::xml_node Child = AElement.append_child(Name.c_str());
        Child.append_attribute("Version") = TPersistObject::GetObjectVersion(*Object);
        TPersistObject::ToXMLNode(*Object, Child);
        return;
    }
    const std::string Text = U8(TPersistObject::ValueToText(AProp, AValue));
    if (AProp.Kind == TPersistKind::pkStringList) {
        AElement.append_child(Name.c_str()).text() = Text.c_str();
    } else if (AProp.Attr.IsXMLAttr) {
        pugi::xml_attribute Attr = AElement.attribute(Name.c_str());
        (Attr ? Attr : AElement.append_attribute(Name.c_str())) = Text.c_str();
    } else {
        pugi::xml_node Place =
            SameName(AElement.name(), AProp.XMLName()) ? AElement : AElement.child(Name.c_str());
        if (!Place)
            Place = AElement.append_child(Name.c_str());
        Place.text() = Text.c_str();
    }
}

// The stored text of a simple value, or nullopt when the default applies.
std::optional<QString> StoredText(pugi::xml_node AElement, const QString& AName) {
    if (!AElement)
        return std::nullopt;
    const std::string Name = U8(AName);
    pugi::xml_node Place = AElement;
    if (!SameName(AElement.name(), AName)) {
        if (pugi::xml_node Child = AElement.child(Name.c_str()))
            Place = Child;
    }
    if (pugi::xml_attribute Attr = Place.attribute(Name.c_str()))
        return Q(Attr.value());
    if (pugi::xml_node Child = Place.child(Name.c_str()))
        return Q(Child.text().get());
    if (IsTextOnly(Place))
        return Q(Place.text().get());
    return std::nullopt;
}

// Stores the value of AText, falling back to the default text for an unknown identifier.
void StoreText(const TPersistProperty& AProp, TInterfacedObjectKVB& AObject,
               const std::optional<QString>& AText) {
    std::optional<TPersistValue> Value;
    if (AText) {
        if (AText->isEmpty() && (AProp.Kind == TPersistKind::pkBoolean || AProp.Kind == TPersistKind::pkEnum))
            return;
        Value = TPersistObject::TextToValue(AProp, *AText);
    }
    if (!Value)
        Value = TPersistObject::TextToValue(AProp, AProp.Attr.DefValue);
    if (Value)
        AProp.Set(AObject, *Value);
}

void ElementToValue(const TPersistProperty& AProp, TInterfacedObjectKVB& AObject, pugi::xml_node AElement) {
    const QString& Name = AProp.XMLName();
    if (AProp.Kind == TPersistKind::pkObject) {
        auto Object = std::get<TIntrusivePtr<TInterfacedObjectKVB>>(AProp.Get(AObject));
        if (!Object) {
            Object = AProp.NewObject();
            AProp.Set(AObject, Object);
        }
        TPersistObject::FromXMLNode(*Object, AElement ? AElement.child(U8(Name).c_str()) : pugi::xml_node());
        return;
    }
    if (AProp.Kind == TPersistKind::pkStringList) {
        pugi::xml_node Child = AElement ? AElement.child(U8(Name).c_str()) : pugi::xml_node();
        AProp.Set(AObject, SplitLines(Child ? Q(Child.text().get()) : AProp.Attr.DefValue));
        return;
    }
    std::optional<QString> Text;
    try {
        Text = StoredText(AElement, Name);
    } catch (...) {
        Text.reset();
    }
    StoreText(AProp, AObject, Text);
}

int StoredVersion(pugi::xml_node AElement) {
    if (!AElement)
        return 1;
    const char* Text = AElement.attribute("Version").value();
    if (!*Text)
        return 1;
    return ParseInt32(Q(Text)).value_or(1);
}

bool NamesMatch(const TPersistProperty& ASource, const TPersistProperty& ADest) {
    if (!ASource.Attr.Name.isEmpty())
        return ADest.Attr.Name.compare(ASource.Attr.Name, Qt::CaseInsensitive) == 0;
    return ADest.Name.compare(ASource.Name, Qt::CaseInsensitive) == 0;
}

pugi::xml_document ParseDocument(const QByteArray& AData) {
    pugi::xml_document Doc;
    const pugi::xml_parse_result Result = Doc.load_buffer(
        AData.constData(), static_cast<std::size_t>(AData.size()), TPersistObject::ParseFlags);
    if (!Result)
        throw EPersistError(QStringLiteral("XML parse error: %1 at offset %2")
                                .arg(Q(Result.description()))
                                .arg(static_cast<qint64>(Result.offset)));
    return Doc;
}

QByteArray DocumentBytes(const pugi::xml_document& ADoc) {
    std::ostringstream Out;
    ADoc.save(Out, "  ", pugi::format_default, pugi::encoding_utf8);
    const std::string Text = Out.str();
    return QByteArray(Text.data(), static_cast<qsizetype>(Text.size()));
}

} // namespace

std::optional<std::int32_t> ParseInt32(const QString& AText) {
    return ParseInteger<std::int32_t>(AText);
}
std::optional<std::int64_t> ParseInt64(const QString& AText) {
    return ParseInteger<std::int64_t>(AText);
}

TPersistObjectAttribute::TPersistObjectAttribute(const QString& AName, int AVersion)
    : Name(AName.trimmed())
    , Version(AVersion) {
    if (Name.isEmpty())
        throw EAssertionFailed(QStringLiteral("Name of Serializable Object can't be an empty string."));
}

TPersistClass::TPersistClass(TPersistObjectAttribute AAttr, std::type_index AType,
                             std::vector<TPersistProperty> AProps)
    : FAttr(std::move(AAttr))
    , FType(AType)
    , FProperties(std::move(AProps)) {
    std::stable_sort(
        FProperties.begin(), FProperties.end(),
        [](const TPersistProperty& A, const TPersistProperty& B) { return A.Attr.Order < B.Attr.Order; });
}

bool TPersistObject::CanSerialize(const TInterfacedObjectKVB& AObject) noexcept {
    try {
        if (AsList(AObject))
            return true;
        const TPersistClass* Desc = OwnDescriptor(AObject);
        if (!Desc || Desc->Properties().empty())
            return false;
        const TPersistProperty& First = Desc->Properties().front();
        if (First.Kind == TPersistKind::pkObject) {
            const auto Value = First.Get(AObject);
            const auto& Object = std::get<TIntrusivePtr<TInterfacedObjectKVB>>(Value);
            return !Object || CanSerialize(*Object);
        }
        return true;
    } catch (...) {
        return false;
    }
}

QString TPersistObject::GetObjectName(const TInterfacedObjectKVB& AObject) {
    const TPersistClass* Desc = OwnDescriptor(AObject);
    return Desc ? Desc->Attr().Name : QString();
}

int TPersistObject::GetObjectVersion(const TInterfacedObjectKVB& AObject) {
    const TPersistClass* Desc = OwnDescriptor(AObject);
    return Desc ? Desc->Attr().Version : 1;
}

void TPersistObject::ForEachProperty(const TInterfacedObjectKVB& AObject,
                                     const std::function<void(const TPersistProperty&)>& AProc) {
    CheckSerializable(AObject);
    const TPersistClass* Desc = OwnDescriptor(AObject);
    if (!Desc)
        return;
    for (const TPersistProperty& Prop : Desc->Properties()) {
        try {
            AProc(Prop);
        } catch (...) {
            ZRLogExceptionFormat(std::current_exception(),
                                 QStringLiteral("TPersistObject.ForEachProperty.For %s"), {Prop.Name});
        }
    }
}

void TPersistObject::ForEachObjListItem(const TInterfacedObjectKVB& AObject,
                                        const std::function<void(TInterfacedObjectKVB&)>& AProc) {
    if (const TInterfacedObjectListBase* List = AsList(AObject))
        for (const auto& Item : List->PersistItems())
            AProc(*Item);
}

void TPersistObject::SetDefault(TInterfacedObjectKVB& AObject) {
    ForEachProperty(AObject, [&AObject](const TPersistProperty& AProp) {
        try {
            if (AProp.Kind == TPersistKind::pkObject) {
                auto Object = std::get<TIntrusivePtr<TInterfacedObjectKVB>>(AProp.Get(AObject));
                if (!Object && AProp.Writable()) {
                    Object = AProp.NewObject();
                    AProp.Set(AObject, Object);
                }
                if (Object)
                    SetDefault(*Object);
            } else if (AProp.Writable()) {
                if (AProp.Kind == TPersistKind::pkStringList)
                    AProp.Set(AObject, SplitLines(AProp.Attr.DefValue));
                else if (auto Value = TextToValue(AProp, AProp.Attr.DefValue))
                    AProp.Set(AObject, *Value);
            }
        } catch (...) {
            ZRLogException(std::current_exception(),
                           QStringLiteral(" TPersistObject.SetDefault.ForEachProperty IN"));
        }
    });
}

void TPersistObject::Assign(const TInterfacedObjectKVB& ASource, TInterfacedObjectKVB& ADest) {
    if (&ASource == &ADest)
        return;
    const TPersistClass* DestDesc = OwnDescriptor(ADest);
    ForEachProperty(ASource, [&](const TPersistProperty& ASrc) {
        if (!DestDesc)
            return;
        const TPersistValue Value = ASrc.Get(ASource);
        for (const TPersistProperty& Dst : DestDesc->Properties()) {
            if (!Dst.Writable() || Dst.Kind != ASrc.Kind || !NamesMatch(ASrc, Dst))
                continue;
            if (ASrc.Kind == TPersistKind::pkObject) {
                const auto& From = std::get<TIntrusivePtr<TInterfacedObjectKVB>>(Value);
                if (!From)
                    continue;
                auto To = std::get<TIntrusivePtr<TInterfacedObjectKVB>>(Dst.Get(ADest));
                if (!To) {
                    To = Dst.NewObject();
                    Dst.Set(ADest, To);
                }
                Assign(*From, *To);
            } else if (ASrc.Kind == TPersistKind::pkEnum &&
                       ASrc.Identifiers.data() != Dst.Identifiers.data()) {
                // Different enumerations meet by identifier.
                if (auto Mapped = TextToValue(Dst, ValueToText(ASrc, Value)))
                    Dst.Set(ADest, *Mapped);
            } else {
                Dst.Set(ADest, Value);
            }
        }
    });
    const TInterfacedObjectListBase* From = AsList(ASource);
    TInterfacedObjectListBase* To = AsList(ADest);
    if (From && To) {
        To->Clear();
        for (const auto& Item : From->PersistItems()) {
            auto Copy = To->PersistNewItem();
            Assign(*Item, *Copy);
            To->PersistAdd(Copy);
        }
    }
}

void TPersistObject::ToXMLNode(const TInterfacedObjectKVB& AObject, pugi::xml_node AElement) {
    const int Version = GetObjectVersion(AObject);
    ForEachProperty(AObject, [&](const TPersistProperty& AProp) {
        if (AProp.Attr.MaxVersion > 0 && AProp.Attr.MaxVersion < Version)
            return;
        ValueToElement(AProp, AProp.Get(AObject), SectionForWrite(AElement, AProp.Attr.Section));
    });
    if (const TInterfacedObjectListBase* List = AsList(AObject)) {
        pugi::xml_node Items = AElement.append_child("Items");
        Items.append_attribute("Count") = List->GetCount();
        for (const auto& Item : List->PersistItems()) {
            CheckSerializable(*Item);
            QString Name = GetObjectName(*Item);
            pugi::xml_node Child =
                Items.append_child(U8(Name.isEmpty() ? QStringLiteral("Item") : Name).c_str());
            Child.append_attribute("Version") = GetObjectVersion(*Item);
            ToXMLNode(*Item, Child);
        }
    }
}

void TPersistObject::FromXMLNode(TInterfacedObjectKVB& AObject, pugi::xml_node AElement) {
    const int Stored = StoredVersion(AElement);
    ForEachProperty(AObject, [&](const TPersistProperty& AProp) {
        if (AProp.Attr.MaxVersion > 0 && AProp.Attr.MaxVersion < Stored)
            return;
        if (!AProp.Writable() && !(AProp.Kind == TPersistKind::pkObject &&
                                   std::get<TIntrusivePtr<TInterfacedObjectKVB>>(AProp.Get(AObject))))
            return;
        ElementToValue(AProp, AObject, SectionForRead(AElement, AProp.Attr.Section));
    });
    TInterfacedObjectListBase* List = AsList(AObject);
    if (List && AElement) {
        for (pugi::xml_node Child : AElement.child("Items").children()) {
            if (Child.type() != pugi::node_element)
                continue;
            auto Item = List->PersistNewItem();
            FromXMLNode(*Item, Child);
            List->PersistAdd(Item);
        }
    }
}

void TPersistObject::ToXMLDoc(const TInterfacedObjectKVB& AObject, pugi::xml_document& ADoc) {
    CheckSerializable(AObject);
    const QString Name = GetObjectName(AObject);
    if (Name.isEmpty())
        throw EPersistError(
            QStringLiteral("Can't serialize object of class \"%1\"").arg(AObject.ClassName()));
    if (!ADoc.first_child()) {
        pugi::xml_node Decl = ADoc.append_child(pugi::node_declaration);
        Decl.append_attribute("version") = "1.0";
        Decl.append_attribute("encoding") = "UTF-8";
    }
    pugi::xml_node Root = ADoc.append_child(U8(Name).c_str());
    Root.append_attribute("Version") = GetObjectVersion(AObject);
    ToXMLNode(AObject, Root);
}

QByteArray TPersistObject::ToXMLBytes(const TInterfacedObjectKVB& AObject) {
    pugi::xml_document Doc;
    ToXMLDoc(AObject, Doc);
    return DocumentBytes(Doc);
}

QString TPersistObject::ToXMLString(const TInterfacedObjectKVB& AObject) {
    return QString::fromUtf8(ToXMLBytes(AObject));
}

void TPersistObject::ToXMLFile(const TInterfacedObjectKVB& AObject, const QString& AFileName) {
    QString Error;
    if (!WriteFileAtomic(AFileName, ToXMLBytes(AObject), &Error))
        throw EPersistError(QStringLiteral("Can't write \"%1\": %2").arg(AFileName, Error));
}

void TPersistObject::FromXMLDoc(TInterfacedObjectKVB& AObject, const pugi::xml_document& ADoc) {
    CheckSerializable(AObject);
    const pugi::xml_node Root = ADoc.child(U8(GetObjectName(AObject)).c_str());
    if (!Root)
        throw EPersistError(QStringLiteral("Wrong XML file format. Can't find root node."));
    FromXMLNode(AObject, Root);
}

void TPersistObject::FromXMLBytes(TInterfacedObjectKVB& AObject, const QByteArray& AData) {
    FromXMLDoc(AObject, ParseDocument(AData));
}

void TPersistObject::FromXMLString(TInterfacedObjectKVB& AObject, const QString& AText) {
    FromXMLBytes(AObject, AText.toUtf8());
}

bool TPersistObject::FromXMLFile(TInterfacedObjectKVB& AObject, const QString& AFileName, QString* AError) {
    CheckSerializable(AObject);
    if (!QFileInfo::exists(AFileName))
        throw EPersistError(QStringLiteral("File format. Can't find root node."));
    try {
        QFile File(AFileName);
        if (!File.open(QIODevice::ReadOnly))
            throw EPersistError(QStringLiteral("Can't read \"%1\": %2").arg(AFileName, File.errorString()));
        FromXMLBytes(AObject, File.readAll());
        return true;
    } catch (...) {
        ZRLogException(std::current_exception(), QStringLiteral(" TPersistObject.FromXMLFile AFileName"));
        if (AError) {
            try {
                throw;
            } catch (const std::exception& E) {
                *AError = QStringLiteral("%1: %2").arg(AFileName, QString::fromUtf8(E.what()));
            } catch (...) {
                *AError = AFileName;
            }
        }
        return false;
    }
}

QString TPersistObject::ValueToText(const TPersistProperty& AProp, const TPersistValue& AValue) {
    switch (AProp.Kind) {
    case TPersistKind::pkInt32:
        return QString::number(std::get<std::int32_t>(AValue));
    case TPersistKind::pkInt64:
        return QString::number(std::get<std::int64_t>(AValue));
    case TPersistKind::pkBoolean:
        return std::get<bool>(AValue) ? QStringLiteral("True") : QStringLiteral("False");
    case TPersistKind::pkEnum: {
        const int Ordinal = std::get<TEnumOrdinal>(AValue).Value;
        if (Ordinal < 0 || static_cast<std::size_t>(Ordinal) >= AProp.Identifiers.size())
            throw EPersistError(
                QStringLiteral("TPersistObject.GetValue: ValueKind(%1) not Supported").arg(Ordinal));
        return Q(AProp.Identifiers[static_cast<std::size_t>(Ordinal)]);
    }
    case TPersistKind::pkFloat:
        return QString::number(std::get<double>(AValue), 'g', 15);
    case TPersistKind::pkDateTime: {
        const QDateTime& Value = std::get<QDateTime>(AValue);
        return (Value.isValid() ? Value : DateTimeZero()).toString(QLatin1String(DateTimeFormat));
    }
    case TPersistKind::pkString:
        return std::get<QString>(AValue);
    case TPersistKind::pkStringList:
        return JoinLines(std::get<QStringList>(AValue));
    case TPersistKind::pkObject:
        break;
    }
    throw EPersistError(QStringLiteral("TPersistObject.GetValue: ValueKind(%1) not Supported")
                            .arg(static_cast<int>(AProp.Kind)));
}

std::optional<TPersistValue> TPersistObject::TextToValue(const TPersistProperty& AProp,
                                                         const QString& AText) {
    switch (AProp.Kind) {
    case TPersistKind::pkInt32:
        return ParseInt32(AText).value_or(0);
    case TPersistKind::pkInt64:
        return ParseInt64(AText).value_or(0);
    case TPersistKind::pkBoolean: {
        static constexpr const char* const Booleans[] = {"False", "True"};
        if (auto Index = IdentifierIndex(Booleans, AText))
            return *Index == 1;
        return std::nullopt;
    }
    case TPersistKind::pkEnum:
        if (auto Index = IdentifierIndex(AProp.Identifiers, AText))
            return TEnumOrdinal{*Index};
        return std::nullopt;
    case TPersistKind::pkFloat: {
        bool Ok = false;
        const double Value = AText.trimmed().toDouble(&Ok);
        return Ok ? Value : 0.0;
    }
    case TPersistKind::pkDateTime: {
        const QString Text = AText.trimmed();
        QDateTime Value = QDateTime::fromString(Text, QLatin1String(DateTimeFormat));
        if (!Value.isValid()) {
            bool Ok = false;
            const double Days = Text.toDouble(&Ok);
            if (Ok && Days != 0 && std::abs(Days) < 3.0e6)
                Value = DateTimeZero().addMSecs(static_cast<qint64>(std::llround(Days * 86400000.0)));
        }
        return Value.isValid() && Value != DateTimeZero() ? Value : QDateTime();
    }
    case TPersistKind::pkString:
        return AText;
    case TPersistKind::pkStringList:
        return SplitLines(AText);
    case TPersistKind::pkObject:
        break;
    }
    throw EPersistError(QStringLiteral("TPersistObject.SetValue: Type not Supported"));
}

// The companions handed out by TInterfacedObjectKVB; each holds a reference to its owner.
namespace {

QString NotPreparedForXML(const TInterfacedObjectKVB& AObject) {
    return QStringLiteral("Класс %1 не подготовлен для XML-сериализации").arg(AObject.ClassName());
}

class TCustomPersistence : public TInterfacedObjectKVB {
public:
    explicit TCustomPersistence(TInterfacedObjectKVB* AOwner)
        : FOwner(AOwner) {}

protected:
    TIntrusivePtr<TInterfacedObjectKVB> FOwner;
};

class TXMLPersistence final : public TCustomPersistence, public IXMLPersistence {
public:
    using TCustomPersistence::TCustomPersistence;

    bool Check(bool ARaise) const override {
        const bool Ok = TPersistObject::CanSerialize(*FOwner);
        if (!Ok && ARaise)
            throw EPersistError(NotPreparedForXML(*FOwner));
        return Ok;
    }
    void FromStream(QIODevice& AStream) override {
        Check(true);
        TPersistObject::FromXMLBytes(*FOwner, AStream.readAll());
    }
    void FromDoc(const pugi::xml_document& ADoc) override {
        Check(true);
        TPersistObject::FromXMLDoc(*FOwner, ADoc);
    }
    bool FromFile(const QString& AFileName, QString* AError) override {
        Check(true);
        return TPersistObject::FromXMLFile(*FOwner, AFileName, AError);
    }
    void FromString(const QString& AText) override {
        Check(true);
        TPersistObject::FromXMLString(*FOwner, AText);
    }
    void ToStream(QIODevice& AStream) const override {
        Check(true);
        const QByteArray Data = TPersistObject::ToXMLBytes(*FOwner);
        if (AStream.write(Data) != Data.size())
            throw EPersistError(AStream.errorString());
    }
    void ToDoc(pugi::xml_document& ADoc) const override {
        Check(true);
        TPersistObject::ToXMLDoc(*FOwner, ADoc);
    }
    void ToFile(const QString& AFileName) const override {
        Check(true);
        TPersistObject::ToXMLFile(*FOwner, AFileName);
    }
    QString ToString() const override {
        Check(true);
        return TPersistObject::ToXMLString(*FOwner);
    }
};

class TObjectAssign final : public TCustomPersistence, public IObjectAssign {
public:
    using TCustomPersistence::TCustomPersistence;

    void Assign(const TInterfacedObjectKVB& ASource) override {
        if (!TPersistObject::CanSerialize(*FOwner))
            throw EAssertionFailed(
                QStringLiteral("Класс %1 не подготовлен для получения значений свойств от другого объекта")
                    .arg(FOwner->ClassName()));
        if (!TPersistObject::CanSerialize(ASource))
            throw EAssertionFailed(
                QStringLiteral("Класс %1 не подготовлен для передачи значений свойств другому объекту")
                    .arg(ASource.ClassName()));
        TPersistObject::Assign(ASource, *FOwner);
    }
    void AssignTo(TInterfacedObjectKVB& ADest) const override { TPersistObject::Assign(*FOwner, ADest); }
};

} // namespace

TIntrusivePtr<IXMLPersistence> TInterfacedObjectKVB::XML() {
    if (!TPersistObject::CanSerialize(*this))
        throw EAssertionFailed(NotPreparedForXML(*this));
    return MakeInterfaced<TXMLPersistence>(this);
}

TIntrusivePtr<IObjectAssign> TInterfacedObjectKVB::ObjAssign() {
    if (!TPersistObject::CanSerialize(*this))
        throw EAssertionFailed(
            QStringLiteral("Класс %1 не подготовлен для получения значений свойств от другого объекта")
                .arg(ClassName()));
    return MakeInterfaced<TObjectAssign>(this);
}

} // namespace pxh
