// The autostart entry and desktop-entry Exec quoting.
#include "base/autorun.h"

#include "base/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace pxh {

QString AutorunFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/pixhoard.desktop");
}

void SetAutorun(const QString& APath, bool AEnabled) {
    const QString FileName = AutorunFileName();
    if (!AEnabled) {
        if (QFileInfo::exists(FileName) && !QFile::remove(FileName))
            throw EOSError(QStringLiteral("Can't remove \"%1\"").arg(FileName));
        return;
    }
    const QByteArray Entry = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Pixhoard\n"
                                            "Exec=%1\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(DesktopExecValue({APath}))
                                 .toUtf8();
    QFile Existing(FileName);
    if (Existing.open(QIODevice::ReadOnly) && Existing.readAll() == Entry)
        return;
    QString Error;
    if (!QDir().mkpath(QFileInfo(FileName).absolutePath()) || !WriteFileAtomic(FileName, Entry, &Error))
        throw EOSError(QStringLiteral("Can't write \"%1\": %2").arg(FileName, Error));
}

QString DesktopExecValue(const QStringList& AArguments) {
    QStringList Quoted;
    for (const QString& Argument : AArguments) {
        QString Text = QStringLiteral("\"");
        for (const QChar C : Argument) {
            if (C == QLatin1Char('"') || C == QLatin1Char('`') || C == QLatin1Char('$') ||
                C == QLatin1Char('\\'))
                Text += QLatin1Char('\\');
            else if (C == QLatin1Char('%'))
                Text += QLatin1Char('%');
            Text += C;
        }
        Quoted << Text + QLatin1Char('"');
    }
    // The string-level escapes apply first when the entry is read, so they are added last.
    QString Value;
    for (const QChar C : Quoted.join(QLatin1Char(' '))) {
        if (C == QLatin1Char('\\'))
            Value += QLatin1String("\\\\");
        else if (C == QLatin1Char('\n'))
            Value += QLatin1String("\\n");
        else if (C == QLatin1Char('\r'))
            Value += QLatin1String("\\r");
        else if (C == QLatin1Char('\t'))
            Value += QLatin1String("\\t");
        else
            Value += C;
    }
    return Value;
}

QStringList SplitDesktopExecValue(const QString& AValue) {
    QString Text;
    for (qsizetype I = 0; I < AValue.size(); ++I) {
        QChar C = AValue[I];
        if (C == QLatin1Char('\\') && I + 1 < AValue.size()) {
            const QChar N = AValue[++I];
            C = N == QLatin1Char('n')   ? QChar(QLatin1Char('\n'))
                : N == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                : N == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
                : N == QLatin1Char('s') ? QChar(QLatin1Char(' '))
                                        : N;
        }
        Text += C;
    }
    QStringList Arguments;
    QString Current;
    bool InQuotes = false, HasArgument = false;
    for (qsizetype I = 0; I < Text.size(); ++I) {
        const QChar C = Text[I];
        if (InQuotes) {
            if (C == QLatin1Char('"'))
                InQuotes = false;
            else if (C == QLatin1Char('\\') && I + 1 < Text.size())
                Current += Text[++I];
            else
                Current += C;
        } else if (C == QLatin1Char('"')) {
            InQuotes = HasArgument = true;
        } else if (C == QLatin1Char(' ')) {
            if (HasArgument)
                Arguments << Current;
            Current.clear();
            HasArgument = false;
        } else {
            Current += C;
            HasArgument = true;
        }
    }
    if (HasArgument)
        Arguments << Current;
    for (QString& Argument : Arguments)
        Argument.replace(QLatin1String("%%"), QLatin1String("%"));
    return Arguments;
}

} // namespace pxh
