// Minute date-time texts.
#include "model/minute_text.h"

#include <QRegularExpression>

namespace pxh {

QString DateTimeToMinuteText(const QDateTime& AValue) {
    return AValue.isValid() ? AValue.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}

QDateTime MinuteTextToDateTime(const QString& AText) {
    static const QRegularExpression Pattern(QStringLiteral("(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2})"));
    const QRegularExpressionMatch Match = Pattern.match(AText);
    if (!Match.hasMatch())
        return {};
    const QDate Date(Match.captured(1).toInt(), Match.captured(2).toInt(), Match.captured(3).toInt());
    const QTime Time(Match.captured(4).toInt(), Match.captured(5).toInt());
    if (!Date.isValid() || !Time.isValid())
        return {};
    return QDateTime(Date, Time);
}

} // namespace pxh
