#include "core/engine/support_files.h"

#include "base/exception.h"
#include "base/logger.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <functional>

namespace pxh {

namespace {

// Runs the encoder with the arguments it is given; the recording passes the full argument list.
constexpr char MakeVideoScript[] = "#!/bin/sh\n"
                                   "# Encodes the prepared frames; every argument arrives quoted.\n"
                                   "exec ffmpeg -nostdin -y \"$@\"\n";

// The icons are drawn, not stored: a rounded tile in the type's colour with a simple mark.
QByteArray DrawIcon(QRgb AColour, const std::function<void(QPainter&)>& AMark) {
    QImage Icon(32, 32, QImage::Format_ARGB32_Premultiplied);
    Icon.fill(Qt::transparent);
    {
        QPainter Painter(&Icon);
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.setPen(Qt::NoPen);
        Painter.setBrush(QColor::fromRgb(AColour));
        Painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        Painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        Painter.setBrush(Qt::NoBrush);
        AMark(Painter);
    }
    QByteArray Png;
    QBuffer Buffer(&Png);
    Buffer.open(QIODevice::WriteOnly);
    Icon.save(&Buffer, "PNG");
    return Png;
}

QByteArray LogoPicture() {
    return DrawIcon(0xFF2D7FF9, [](QPainter& P) {
        P.drawRect(QRectF(8, 10, 16, 12));
        P.drawLine(QPointF(12, 8), QPointF(20, 8));
    });
}

struct TSupportFile {
    const char* Path;     // relative to the data folder
    const char* Resource; // the name the log line carries
    bool Always;
    std::function<QByteArray()> Content;
};

const std::vector<TSupportFile>& SupportFiles() {
    static const std::vector<TSupportFile> Files = {
        {"ToastLogo.png", "TOAST_Logo", false, LogoPicture},
        {"MakeVideo.sh", "FILE_MakeVideo", true, [] { return QByteArray(MakeVideoScript); }},
        {"History/_Arch.png", "HIST_Arch", false,
         [] {
             return DrawIcon(0xFFB8860B, [](QPainter& P) {
                 P.drawRect(QRectF(9, 9, 14, 14));
                 P.drawLine(QPointF(16, 9), QPointF(16, 23));
             });
         }},
        {"History/_Group.png", "HIST_Group", false,
         [] {
             return DrawIcon(0xFF6A5ACD, [](QPainter& P) {
                 P.drawRect(QRectF(7, 7, 12, 12));
                 P.drawRect(QRectF(13, 13, 12, 12));
             });
         }},
        {"History/_Text.png", "HIST_Text", false,
         [] {
             return DrawIcon(0xFF2E8B57, [](QPainter& P) {
                 for (int Y : {10, 16, 22})
                     P.drawLine(QPointF(8, Y), QPointF(24, Y));
             });
         }},
        {"History/_Video.png", "HIST_Video", false,
         [] {
             return DrawIcon(0xFFC0392B, [](QPainter& P) {
                 QPainterPath Play;
                 Play.moveTo(12, 9);
                 Play.lineTo(23, 16);
                 Play.lineTo(12, 23);
                 Play.closeSubpath();
                 P.drawPath(Play);
             });
         }},
        {"History/_Other.png", "HIST_Other", false,
         [] { return DrawIcon(0xFF7F8C8D, [](QPainter& P) { P.drawEllipse(QPointF(16, 16), 6, 6); }); }},
    };
    return Files;
}

void WriteFile(const QString& APath, const QByteArray& AData, bool AExecutable) {
    if (!QDir().mkpath(QFileInfo(APath).absolutePath()))
        throw EPixhoard(QStringLiteral("Cannot create the folder of ") + APath);
    QSaveFile File(APath);
    if (!File.open(QIODevice::WriteOnly) || File.write(AData) != AData.size() || !File.commit())
        throw EPixhoard(QStringLiteral("Cannot write ") + APath + QStringLiteral(": ") + File.errorString());
    if (AExecutable)
        QFile::setPermissions(APath,
                              QFile::permissions(APath) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

} // namespace

void WriteSupportFiles(const QString& AFolder) {
    const QString Root = AFolder.endsWith('/') ? AFolder : AFolder + '/';
    for (const TSupportFile& File : SupportFiles()) {
        const QString Path = Root + QString::fromLatin1(File.Path);
        try {
            if (!File.Always && QFileInfo::exists(Path))
                continue;
            WriteFile(Path, File.Content(), Path.endsWith(QLatin1String(".sh")));
        } catch (...) {
            ZRLogExceptionFormat(std::current_exception(), "TPixhoardEngine.ExtractResources.%s",
                                 {QString::fromLatin1(File.Resource)});
        }
    }
}

} // namespace pxh
