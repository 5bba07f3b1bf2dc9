#include "platform/handover_message.h"

#include <QtEndian>

namespace pxh {

namespace {

constexpr char Magic[4] = {'P', 'X', 'H', '1'};

void AppendField(QByteArray& AOut, const QString& AText) {
    const QByteArray utf8 = AText.toUtf8();
    char len[4];
    qToBigEndian<quint32>(quint32(utf8.size()), len);
    AOut.append(len, 4).append(utf8);
}

QString OriginCode(THandOverOrigin AOrigin) {
    switch (AOrigin) {
    case THandOverOrigin::hoDrop:
        return "drop";
    case THandOverOrigin::hoBrowser:
        return "browser";
    case THandOverOrigin::hoCommandLine:
        break;
    }
    return "cmd";
}

std::optional<THandOverOrigin> OriginFromCode(const QString& ACode) {
    if (ACode == "cmd")
        return THandOverOrigin::hoCommandLine;
    if (ACode == "drop")
        return THandOverOrigin::hoDrop;
    if (ACode == "browser")
        return THandOverOrigin::hoBrowser;
    return std::nullopt;
}

} // namespace

QByteArray EncodeHandOver(const THandOver& AHandOver) {
    QByteArray payload;
    AppendField(payload, OriginCode(AHandOver.Origin));
    AppendField(payload, AHandOver.WorkingFolder);
    AppendField(payload, AHandOver.StartupId);
    for (const QString& argument : AHandOver.Arguments)
        AppendField(payload, argument);
    QByteArray frame(Magic, 4);
    char len[4];
    qToBigEndian<quint32>(quint32(payload.size()), len);
    return frame.append(len, 4).append(payload);
}

THandOverDecode DecodeHandOver(const QByteArray& ABuffer, THandOver& AHandOver, qsizetype& AConsumed) {
    const qsizetype header = 8;
    if (ABuffer.size() < header)
        return ABuffer.startsWith(QByteArray(Magic, qMin<qsizetype>(4, ABuffer.size())))
                   ? THandOverDecode::hdIncomplete
                   : THandOverDecode::hdInvalid;
    if (!ABuffer.startsWith(QByteArray(Magic, 4)))
        return THandOverDecode::hdInvalid;
    const quint32 length = qFromBigEndian<quint32>(ABuffer.constData() + 4);
    if (length > HandOverMaxPayload)
        return THandOverDecode::hdInvalid;
    if (ABuffer.size() < header + qsizetype(length))
        return THandOverDecode::hdIncomplete;

    QStringList fields;
    qsizetype pos = header;
    const qsizetype end = header + length;
    while (pos < end) {
        if (end - pos < 4)
            return THandOverDecode::hdInvalid;
        const quint32 size = qFromBigEndian<quint32>(ABuffer.constData() + pos);
        pos += 4;
        if (size > quint32(end - pos))
            return THandOverDecode::hdInvalid;
        fields.append(QString::fromUtf8(ABuffer.constData() + pos, size));
        pos += size;
    }
    if (fields.size() < 3)
        return THandOverDecode::hdInvalid;
    const auto origin = OriginFromCode(fields[0]);
    if (!origin)
        return THandOverDecode::hdInvalid;
    AHandOver.Origin = *origin;
    AHandOver.WorkingFolder = fields[1];
    AHandOver.StartupId = fields[2];
    AHandOver.Arguments = fields.mid(3);
    AConsumed = end;
    return THandOverDecode::hdComplete;
}

} // namespace pxh
