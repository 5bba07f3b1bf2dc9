// Banner data: persistence of the areas and the data, and the lookup of a link by point.
#include "model/promo_data.h"

#include "base/persist_object.h"
#include "model/locked_accessors.h"

#include <stdexcept>

namespace pxh {

const TPersistClass& TPromoRect::StaticPersistClass() {
    using C = TPromoRect;
    static const TPersistClass Class = TPersistClassBuilder<C>("Area", 1)
                                           .Prop("Left", &C::FLeft, {"Area", "Left", "", true})
                                           .Prop("Top", &C::FTop, {"Area", "Top", "", true})
                                           .Prop("Right", &C::FRight, {"Area", "Right", "", true})
                                           .Prop("Bottom", &C::FBottom, {"Area", "Bottom", "", true})
                                           .Prop("URL", &C::FURL, {"Area", "URL", "", true});
    return Class;
}

TPromoRect::TPromoRect(const QString& AURL, std::int32_t ALeft, std::int32_t ATop, std::int32_t ARight,
                       std::int32_t ABottom)
    : FLeft(ALeft)
    , FTop(ATop)
    , FRight(ARight)
    , FBottom(ABottom)
    , FURL(AURL) {}

PXH_LOCKED_GETTER(TPromoRect, std::int32_t, Left)
PXH_LOCKED_GETTER(TPromoRect, std::int32_t, Top)
PXH_LOCKED_GETTER(TPromoRect, std::int32_t, Right)
PXH_LOCKED_GETTER(TPromoRect, std::int32_t, Bottom)
PXH_LOCKED_GETTER(TPromoRect, QString, URL)
PXH_LOCKED_GETTER(TPromoData, QString, ImageURL)
PXH_LOCKED_GETTER(TPromoData, QImage, Image)
PXH_LOCKED_GETTER(TPromoData, std::int64_t, SpaceTotal)
PXH_LOCKED_GETTER(TPromoData, std::int64_t, SpaceUsed)
PXH_LOCKED_GETTER(TPromoData, std::int64_t, SpaceLeft)
PXH_LOCKED_GETTER(TPromoData, QString, URLAccount)
PXH_LOCKED_GETTER(TPromoData, QString, URLMyFiles)

bool TPromoRect::Contains(std::int32_t AX, std::int32_t AY) const {
    TLockGuard Guard(*this);
    return FLeft <= AX && AX < FRight && FTop <= AY && AY < FBottom;
}

QRect TPromoRect::GetRect() const {
    TLockGuard Guard(*this);
    return QRect(QPoint(FLeft, FTop), QPoint(FRight, FBottom));
}

const TPersistClass& TPromoMap::StaticPersistClass() {
    static const TPersistClass Class = TPersistClassBuilder<TPromoMap>("Map", 1);
    return Class;
}

TIntrusivePtr<TPromoRect> TPromoMap::GetArea(int AIndex) const {
    TLockGuard Guard(*this);
    if (AIndex < 0 || AIndex >= Count())
        throw std::out_of_range("Argument out of range");
    return Item(AIndex);
}

TIntrusivePtr<TPromoRect> TPromoMap::AddArea(const QString& AURL, std::int32_t ALeft, std::int32_t ATop,
                                             std::int32_t ARight, std::int32_t ABottom) {
    auto Area = MakeInterfaced<TPromoRect>(AURL, ALeft, ATop, ARight, ABottom);
    Add(Area);
    return Area;
}

const TPersistClass& TPromoData::StaticPersistClass() {
    using C = TPromoData;
    static const TPersistClass Class =
        TPersistClassBuilder<C>("Promo", 1)
            .Prop("ImageURL", &C::FImageURL, {"Promo", "Image", "", true})
            .Prop("Map", [](const C& AData) { return AData.FMap; }, nullptr, {"Promo", "Map", "", false})
            .Prop("SpaceTotal", &C::FSpaceTotal, {"Space", "Total", "", true})
            .Prop("SpaceUsed", &C::FSpaceUsed, {"Space", "Used", "", true})
            .Prop("SpaceLeft", &C::FSpaceLeft, {"Space", "Left", "", true})
            .Prop("URLAccount", &C::FURLAccount, {"UserURLs", "account", "", true})
            .Prop("URLMyFiles", &C::FURLMyFiles, {"UserURLs", "myfiles", "", true});
    return Class;
}

TPromoData::TPromoData()
    : FMap(MakeInterfaced<TPromoMap>()) {}

TIntrusivePtr<TPromoData> TPromoData::FromReply(const QByteArray& AReply) {
    auto Data = MakeInterfaced<TPromoData>();
    TLockGuard Guard(*Data);
    TPersistObject::FromXMLBytes(*Data, AReply);
    return Data;
}

void TPromoData::SetImage(const QImage& AValue) {
    TLockGuard Guard(*this);
    FImage = AValue;
}

QString TPromoData::GetAreaURL(std::int32_t AX, std::int32_t AY) const {
    TLockGuard Guard(*this);
    for (const TIntrusivePtr<TPromoRect>& Area : FMap->Items())
        if (Area->Contains(AX, AY))
            return Area->GetURL();
    return QString();
}

} // namespace pxh
