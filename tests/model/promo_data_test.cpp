// The banner data: reading the service's description and finding the link under a point.
#include "base/persist_object.h"
#include "model/promo_data.h"

#include <gtest/gtest.h>

namespace pxh {
namespace {

TEST(PromoData, AreaUnderAPoint) {
    auto Data = MakeInterfaced<TPromoData>();
    Data->GetMap()->AddArea("first", 10, 20, 110, 60);
    Data->GetMap()->AddArea("second", 100, 50, 200, 100);
    Data->GetMap()->AddArea("empty", 300, 300, 300, 300);
    Data->GetMap()->AddArea("negative", -50, -50, -10, -10);
    const std::vector<std::tuple<int, int, const char*>> Cases = {
        {10, 20, "first"},   {109, 59, "first"}, {110, 40, ""},          {50, 60, ""},   {105, 55, "first"},
        {150, 55, "second"}, {300, 300, ""},     {-50, -50, "negative"}, {-10, -20, ""}, {9, 20, ""},
    };
    for (const auto& [X, Y, URL] : Cases)
        EXPECT_EQ(Data->GetAreaURL(X, Y), QString::fromUtf8(URL)) << X << "," << Y;
    EXPECT_THROW(Data->GetMap()->GetArea(4), std::out_of_range);
    EXPECT_THROW(Data->GetMap()->GetArea(-1), std::out_of_range);
}

TEST(PromoData, ReadsTheReply) {
    const QByteArray Reply =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<Promo Version=\"1\" Image=\"https://s/banner.png\" Extra=\"x\">"
        "<Map Version=\"1\"><Items Count=\"7\">"
        "<Area Version=\"1\" Left=\"0\" Top=\"0\" Right=\"50\" Bottom=\"50\" URL=\"https://s/a\"/>"
        "<Area Left=\"40\" Top=\"40\" Right=\"90\" Bottom=\"90\" URL=\"https://s/b\"/>"
        "</Items></Map>"
        "<Space Total=\"3000000000\" Used=\"abc\"/>"
        "<UserURLs account=\"https://s/acc\" myfiles=\"https://s/mine\"/><Other/></Promo>";
    const auto Data = TPromoData::FromReply(Reply);
    EXPECT_EQ(Data->GetImageURL(), QStringLiteral("https://s/banner.png"));
    EXPECT_EQ(Data->GetMap()->GetCount(), 2);
    EXPECT_EQ(Data->GetAreaURL(45, 45), QStringLiteral("https://s/a"));
    EXPECT_EQ(Data->GetAreaURL(60, 60), QStringLiteral("https://s/b"));
    EXPECT_EQ(Data->GetSpaceTotal(), 3000000000LL);
    EXPECT_EQ(Data->GetSpaceUsed(), 0);
    EXPECT_EQ(Data->GetSpaceLeft(), 0);
    EXPECT_EQ(Data->GetURLAccount(), QStringLiteral("https://s/acc"));
    EXPECT_EQ(Data->GetURLMyFiles(), QStringLiteral("https://s/mine"));

    const auto NoMap = TPromoData::FromReply("<Promo Image=\"i\"/>");
    EXPECT_EQ(NoMap->GetMap()->GetCount(), 0);
    EXPECT_EQ(NoMap->GetAreaURL(0, 0), QString());

    for (const QByteArray& Bad : {QByteArray("<xml><url>u</url></xml>"), QByteArray("not xml"), QByteArray()})
        EXPECT_THROW(TPromoData::FromReply(Bad), EPersistError) << Bad.constData();
}

TEST(PromoData, WritesTheDescribedLayout) {
    auto Data = MakeInterfaced<TPromoData>();
    Data->GetMap()->AddArea("https://s/a", 1, 2, 3, 4);
    pugi::xml_document Doc;
    TPersistObject::ToXMLDoc(*Data, Doc);
    EXPECT_TRUE(Doc.select_node("/Promo[@Version='1']/Map[@Version='1']/Items[@Count='1']/"
                                "Area[@Left='1'][@Top='2'][@Right='3'][@Bottom='4'][@URL='https://s/a']"));
    EXPECT_TRUE(Doc.select_node("/Promo/Space[@Total='0'][@Used='0'][@Left='0']"));
    EXPECT_TRUE(Doc.select_node("/Promo/UserURLs[@account=''][@myfiles='']"));
}

} // namespace
} // namespace pxh
