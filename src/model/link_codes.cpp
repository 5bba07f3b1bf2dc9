// Parsing the service's code templates into the four link codes.
#include "model/link_codes.h"

namespace pxh {

TLinkCodes ParseLinkCodes(const QString& ACodeTemplates) {
    QString Work = ACodeTemplates;
    Work.replace(QLatin1String("&gt;"), QLatin1String(">"), Qt::CaseInsensitive);
    Work.replace(QLatin1String("&lt;"), QLatin1String("<"), Qt::CaseInsensitive);
    Work.replace(QLatin1String("&quot;"), QLatin1String("\""), Qt::CaseInsensitive);

    auto TakeCode = [&Work] {
        const qsizetype Bars = Work.indexOf(QLatin1String("||"));
        if (Bars >= 0)
            Work.remove(0, Bars + 2);
        const qsizetype Tab = Work.indexOf('\t');
        if (Tab < 0)
            return Work;
        QString Code = Work.left(Tab);
        Work.remove(0, Tab + 1);
        return Code;
    };
    TLinkCodes Codes;
    Codes.Blog = TakeCode();
    Codes.Forum = TakeCode();
    Codes.IM = TakeCode();
    Codes.Wiki = TakeCode();
    return Codes;
}

} // namespace pxh
