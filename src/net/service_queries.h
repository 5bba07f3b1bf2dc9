// Short service queries: the folder list, the login check, the update check, the social login and the
// banner.
#pragma once

#include "model/promo_data.h"
#include "net/web_operation.h"

#include <QString>

namespace pxh {

// The text of the reply root's first child element, decoded; nullopt when the reply is not "<xml" XML.
std::optional<QString> FirstChildText(const QString& AReply);

class TGetFoldersOperation : public TWebOperation {
public:
    QString Folders() const;

protected:
    int DoExecute() override;

private:
    mutable std::mutex FLock;
    QString FFolders;
};

class TCheckLoginOperation : public TWebOperation {
public:
    TCheckLoginOperation(const QString& AUserName, const QString& APassword);

protected:
    int DoExecute() override;

private:
    const QString FUserName;
    const QString FPassword;
};

class TCheckUpdateOperation : public TWebOperation {
public:
    struct TVersion {
        QString Version = QStringLiteral("0");
        QString URL;
        qint64 Size = 0;
    };
    explicit TCheckUpdateOperation(bool AShowTip);
    TVersion Version() const;
    bool ShowTip() const { return FShowTip; }

protected:
    int DoExecute() override;

private:
    const bool FShowTip;
    mutable std::mutex FLock;
    TVersion FVersion;
};

class TLoginSocialOperation : public TWebOperation {
public:
    static constexpr int ExitCodeNoLogin = -3;
    struct TResponse {
        QString Login;
        QString Password;
        QString Msg;
    };
    explicit TLoginSocialOperation(const QString& AKey);
    TResponse Response() const;
    // 1 to 256 characters, none of them blank or a control character.
    static bool IsValidKey(const QString& AKey);

protected:
    int DoExecute() override;

private:
    const QString FKey;
    mutable std::mutex FLock;
    TResponse FResponse;
};

// The banner with its areas and the space figures; the account's two pages go to the configuration.
class TGetPromoOperation : public TWebOperation {
public:
    // Null until a reply was read.
    TIntrusivePtr<TPromoData> PromoData() const;

protected:
    int DoExecute() override;

private:
    mutable std::mutex FLock;
    TIntrusivePtr<TPromoData> FPromoData;
};

} // namespace pxh
