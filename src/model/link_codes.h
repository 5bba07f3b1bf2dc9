// The one parser of the service's code templates, shared by upload results, the history and the links window.
#pragma once

#include <QString>
#include <optional>

namespace pxh {

struct TLinkCodes {
    QString Blog;
    QString Forum;
    QString IM;
    QString Wiki;
    bool operator==(const TLinkCodes&) const = default;
};

// Decodes "&gt;", "&lt;" and "&quot;" (any case; "&amp;" stays) and takes four entries of the form
// label "||" code tab, in the order blog, forum, instant messenger, wiki. An entry without a tab is
// the rest of the text, so a single entry fills all four codes.
TLinkCodes ParseLinkCodes(const QString& ACodeTemplates);

} // namespace pxh
