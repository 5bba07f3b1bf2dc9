// Reading the deployment values from the environment and "deployment.ini".
#include "model/deployment.h"

#include "base/app_paths.h"
#include "model/ini_file.h"

namespace pxh {

namespace {

QString DeploymentValue(const char* AName) {
    const QString FromEnv = qEnvironmentVariable(AName).trimmed();
    if (!FromEnv.isEmpty())
        return FromEnv;
    return ReadIniValue(PathAppData() + "deployment.ini", QString(), QString::fromLatin1(AName), true)
        .value_or(QString());
}

QUrl RootUrl(const QString& AText, const QString& ADefault) {
    QUrl Url(AText.isEmpty() ? ADefault : AText);
    if (!Url.isValid() || Url.host().isEmpty())
        Url = QUrl(ADefault);
    if (!Url.path().endsWith('/'))
        Url.setPath(Url.path() + '/');
    return Url;
}

} // namespace

TDeployment TDeployment::Load() {
    TDeployment Result;
    Result.ServiceRoot =
        RootUrl(DeploymentValue("PIXHOARD_SERVICE_ROOT"), QStringLiteral("http://127.0.0.1:47800/"));
    Result.YaDiskAPI = RootUrl(DeploymentValue("PIXHOARD_YADISK_API"),
                               QStringLiteral("https://cloud-api.yandex.net:443/v1/disk/"));
    Result.YaDiskOAuth = QUrl(DeploymentValue("PIXHOARD_YADISK_OAUTH"));
    if (!Result.YaDiskOAuth.isValid() || Result.YaDiskOAuth.isEmpty())
        Result.YaDiskOAuth = QUrl(QStringLiteral("https://oauth.yandex.ru/authorize"));
    Result.ExtraCAFile = DeploymentValue("PIXHOARD_EXTRA_CA");

    QString Intake = DeploymentValue("PIXHOARD_FTP_INTAKE");
    if (Intake.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        Intake = Intake.mid(6);
    while (Intake.endsWith('/'))
        Intake.chop(1);
    const qsizetype At = Intake.lastIndexOf('@');
    Result.IntakeUser = At > 0 ? Intake.left(At) : QStringLiteral("pixhoard");
    QString HostPort = At >= 0 ? Intake.mid(At + 1) : Intake;
    const qsizetype Colon = HostPort.lastIndexOf(':');
    if (Colon > 0) {
        bool Ok = false;
        const int Port = HostPort.mid(Colon + 1).toInt(&Ok);
        if (Ok && Port > 0 && Port < 65536)
            Result.IntakePort = Port;
        HostPort = HostPort.left(Colon);
    } else if (HostPort.isEmpty()) {
        Result.IntakePort = 47821;
    }
    Result.IntakeHost = HostPort.isEmpty() ? Result.ServiceRoot.host() : HostPort;
    return Result;
}

const TDeployment& TDeployment::Current() {
    static const TDeployment Values = Load();
    return Values;
}

QString TDeployment::ServiceURL(const QString& APath) const {
    return ServiceRoot.toString() + APath;
}

} // namespace pxh
