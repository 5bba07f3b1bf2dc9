// The service's banner description: the picture, its clickable areas, storage figures and account pages.
#pragma once

#include "base/interfaced_object.h"
#include "base/interfaced_object_list.h"
#include "base/persist_class.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>

namespace pxh {

class IPromoRect : public virtual IInterface {};

class TPromoRect : public TInterfacedObjectKVB, public IPromoRect {
public:
    PXH_PERSISTENT();

    TPromoRect() = default;
    TPromoRect(const QString& AURL, std::int32_t ALeft, std::int32_t ATop, std::int32_t ARight,
               std::int32_t ABottom);

    std::int32_t GetLeft() const;
    std::int32_t GetTop() const;
    std::int32_t GetRight() const;
    std::int32_t GetBottom() const;
    QString GetURL() const;
    // Right and bottom are not part of the area.
    bool Contains(std::int32_t AX, std::int32_t AY) const;
    QRect GetRect() const;

private:
    std::int32_t FLeft = 0;
    std::int32_t FTop = 0;
    std::int32_t FRight = 0;
    std::int32_t FBottom = 0;
    QString FURL;
};

class IPromoMap : public virtual IObjectList {
public:
    // Raises std::out_of_range outside 0 .. count - 1.
    virtual TIntrusivePtr<TPromoRect> GetArea(int AIndex) const = 0;
};

class TPromoMap : public TInterfacedObjectList<TPromoRect>, public IPromoMap {
public:
    PXH_PERSISTENT();

    void Clear() override { TInterfacedObjectList::Clear(); }
    int GetCount() const override { return TInterfacedObjectList::GetCount(); }
    TIntrusivePtr<TPromoRect> GetArea(int AIndex) const override;
    TIntrusivePtr<TPromoRect> AddArea(const QString& AURL, std::int32_t ALeft, std::int32_t ATop,
                                      std::int32_t ARight, std::int32_t ABottom);
};

class IPromoData : public virtual IInterface {
public:
    virtual QString GetImageURL() const = 0;
    virtual QImage GetImage() const = 0;
    virtual void SetImage(const QImage& AValue) = 0;
    virtual TIntrusivePtr<TPromoMap> GetMap() const = 0;
    // The link of the first area holding the point, or an empty text.
    virtual QString GetAreaURL(std::int32_t AX, std::int32_t AY) const = 0;
    virtual std::int64_t GetSpaceTotal() const = 0;
    virtual std::int64_t GetSpaceUsed() const = 0;
    virtual std::int64_t GetSpaceLeft() const = 0;
    virtual QString GetURLAccount() const = 0;
    virtual QString GetURLMyFiles() const = 0;
};

// The storage figures are 64-bit, so a service that sends bytes above 2 GiB is read exactly.
class TPromoData : public TInterfacedObjectKVB, public IPromoData {
public:
    PXH_PERSISTENT();

    TPromoData();

    // Reads a reply whose root is "Promo"; raises EPersistError otherwise.
    static TIntrusivePtr<TPromoData> FromReply(const QByteArray& AReply);

    QString GetImageURL() const override;
    QImage GetImage() const override;
    void SetImage(const QImage& AValue) override;
    TIntrusivePtr<TPromoMap> GetMap() const override { return FMap; }
    QString GetAreaURL(std::int32_t AX, std::int32_t AY) const override;
    std::int64_t GetSpaceTotal() const override;
    std::int64_t GetSpaceUsed() const override;
    std::int64_t GetSpaceLeft() const override;
    QString GetURLAccount() const override;
    QString GetURLMyFiles() const override;

private:
    QString FImageURL;
    QImage FImage;
    TIntrusivePtr<TPromoMap> FMap;
    std::int64_t FSpaceTotal = 0;
    std::int64_t FSpaceUsed = 0;
    std::int64_t FSpaceLeft = 0;
    QString FURLAccount;
    QString FURLMyFiles;
};

} // namespace pxh
