#pragma once

#include "AccountRecords.h"
#include "LocalizedText.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <QCoro/QCoroTask>

#include <functional>
#include <optional>

#include "APIClient.h"

// The signed-in member's profile as the server returns it, and what the profile page shows of it.
//
// QML (ProfileModel in Orvane.People): isLoading, errorMessage ("" when none), hasProfile,
// nameLine, username ("" when absent), hasUsername, avatarURL, rows (a list of {title, titleRu,
// titleEn, value, isLast}; title in the current language); loadProfile(), openWebsite().
class ProfileModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY profileChanged)
    Q_PROPERTY(QString nameLine READ nameLine NOTIFY profileChanged)
    Q_PROPERTY(QString username READ username NOTIFY profileChanged)
    Q_PROPERTY(bool hasUsername READ hasUsername NOTIFY profileChanged)
    Q_PROPERTY(QUrl avatarURL READ avatarURL NOTIFY profileChanged)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY rowsChanged)

public:
    struct TableRow {
        LocalizedText title;
        QString value;
    };

    using TokenProvider = std::function<std::optional<QString>()>;

    explicit ProfileModel(QObject *parent = nullptr);

    void setApiClient(APIClient *api) { m_api = api; }
    void setTokenProvider(TokenProvider provider) { m_tokenProvider = std::move(provider); }

    bool isLoading() const { return m_runningLoads > 0; }
    QString errorMessage() const;
    std::optional<LocalizedText> error() const { return m_error; }
    const std::optional<UserProfile> &profile() const { return m_profile; }
    void setProfile(std::optional<UserProfile> profile);

    bool hasProfile() const { return m_profile.has_value(); }
    QString nameLine() const { return m_profile ? nameLine(*m_profile) : QString(); }
    QString username() const { return m_profile ? m_profile->username.value_or(QString()) : QString(); }
    bool hasUsername() const { return m_profile && m_profile->username.has_value(); }
    QUrl avatarURL() const { return m_profile ? m_profile->avatarURL().value_or(QUrl()) : QUrl(); }
    QVariantList rows() const;

    // Loads the profile; a retry may overlap a running load, and the later answer wins.
    QCoro::Task<> loadProfile();
    Q_INVOKABLE void load() { loadProfile(); }
    // The member's page on the web site; false when there is no user name or no valid address.
    Q_INVOKABLE bool openWebsite() const;

    // Name and last name (a present but empty last name still adds the space), else the e-mail.
    static QString nameLine(const UserProfile &profile);
    // Email, first name, last name, city, birth date (Russian long form), gender; "-" when absent.
    static QList<TableRow> tableRows(const UserProfile &profile);

signals:
    void isLoadingChanged();
    void errorMessageChanged();
    void profileChanged();
    void rowsChanged();

private:
    void setError(std::optional<LocalizedText> error);

    QPointer<APIClient> m_api;
    TokenProvider m_tokenProvider;
    std::optional<UserProfile> m_profile;
    std::optional<LocalizedText> m_error;
    int m_runningLoads = 0;
};
