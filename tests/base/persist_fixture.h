// Persistent classes with every property kind, shared by the persistence tests.
#pragma once

#include "base/interfaced_object_list.h"
#include "base/persist_class.h"
#include "base/persist_object.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace pxh::test {

enum class TColour { clRed, clGreen, clBlue };
PXH_ENUM_IDENTIFIERS(TColour, "clRed", "clGreen", "clBlue")

class TInner : public TInterfacedObjectKVB {
public:
    PXH_PERSISTENT()
    QString FLabel = QStringLiteral("preset");
    int FSize = -1;
};

// Version 3; "Old" exists up to version 2.
class TSample : public TInterfacedObjectKVB {
public:
    using TInterfacedObjectKVB::TInterfacedObjectKVB;
    PXH_PERSISTENT()
    std::int32_t FInt = -1;
    std::int64_t FBig = -1;
    bool FFlag = true;
    TColour FColour = TColour::clBlue;
    double FRatio = -1;
    QDateTime FWhen = QDateTime(QDate(2000, 1, 1), QTime(1, 2, 3));
    QString FText = QStringLiteral("preset");
    QStringList FLines = {QStringLiteral("preset")};
    TIntrusivePtr<TInner> FInner;
    int FOld = -1;
    QString GetFixed() const { return QStringLiteral("fixed"); }
};

// Same data under other names: matched by Assign ignoring case; "Fixed" is read-only here.
class TOther : public TInterfacedObjectKVB {
public:
    PXH_PERSISTENT()
    QString FText;
    std::int32_t FInt = 0;
    TIntrusivePtr<TInner> FInner;
    QString FFixed = QStringLiteral("untouched");
    QString GetFixed() const { return FFixed; }
};

// A subclass without a descriptor of its own.
class TDerived : public TSample {};

// No descriptor at all.
class TPlain : public TInterfacedObjectKVB {};

class TInnerList : public TInterfacedObjectList<TInner> {
public:
    PXH_PERSISTENT()
    QString FTitle;
};

// A list of interfaces: the list makes its items through NewItem.
class IShape : public virtual IInterface {
public:
    virtual double Area() const = 0;
};

class TSquare : public TInterfacedObjectKVB, public IShape {
public:
    PXH_PERSISTENT()
    explicit TSquare(double ASide = 0)
        : FSide(ASide) {}
    double Area() const override { return FSide * FSide; }
    double FSide;
};

class TShapeList : public TInterfacedObjectList<IShape> {
public:
    PXH_PERSISTENT()
    TIntrusivePtr<IShape> NewItem() const override { return MakeInterfaced<TSquare>(); }
};

} // namespace pxh::test
