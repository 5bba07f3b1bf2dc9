// The deployment values: where the service, its FTP intake and the cloud-disk API are.
#pragma once

#include <QString>
#include <QUrl>

namespace pxh {

struct TDeployment {
    QUrl ServiceRoot;   // scheme, host, port and path, ending in "/"
    QString IntakeHost; // the service's public FTP intake
    int IntakePort = 21;
    QString IntakeUser;
    QUrl YaDiskAPI;      // the cloud-disk REST root, ending in "/v1/disk/"
    QUrl YaDiskOAuth;    // its sign-in page
    QString ExtraCAFile; // a PEM file trusted beside the system store, for self-hosted services; may be empty

    // From the environment (PIXHOARD_SERVICE_ROOT, PIXHOARD_FTP_INTAKE as "account@host:port",
    // PIXHOARD_YADISK_API, PIXHOARD_YADISK_OAUTH, PIXHOARD_EXTRA_CA), else from "deployment.ini" in the data
    // folder, else the local service on loopback.
    static TDeployment Load();
    // The values read once per process.
    static const TDeployment& Current();

    // ServiceRoot + APath.
    QString ServiceURL(const QString& APath) const;
};

} // namespace pxh
