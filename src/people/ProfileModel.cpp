#include "ProfileModel.h"

#include "APIClient.h"
#include "AuthManager.h"
#include "LanguageManager.h"
#include "WebPage.h"

ProfileModel::ProfileModel(QObject *parent)
    : QObject(parent)
    , m_api(APIClient::shared())
    , m_tokenProvider([] { return AuthManager::shared().getToken(); })
{
    connect(&LanguageManager::shared(), &LanguageManager::languageChanged, this, [this] {
        emit errorMessageChanged();
        emit rowsChanged();
    });
}

QString ProfileModel::errorMessage() const
{
    return m_error ? m_error->in(LanguageManager::shared().language()) : QString();
}

void ProfileModel::setProfile(std::optional<UserProfile> profile)
{
    if (m_profile == profile)
        return;
    m_profile = std::move(profile);
    emit profileChanged();
    emit rowsChanged();
}

QVariantList ProfileModel::rows() const
{
    QVariantList result;
    if (!m_profile)
        return result;
    const AppLanguage language = LanguageManager::shared().language();
    const QList<TableRow> table = tableRows(*m_profile);
    for (qsizetype i = 0; i < table.size(); ++i) {
        result.append(QVariantMap{{QStringLiteral("title"), table[i].title.in(language)},
                                  {QStringLiteral("titleRu"), table[i].title.ru},
                                  {QStringLiteral("titleEn"), table[i].title.en},
                                  {QStringLiteral("value"), table[i].value},
                                  {QStringLiteral("isLast"), i == table.size() - 1}});
    }
    return result;
}

QCoro::Task<> ProfileModel::loadProfile()
{
    ++m_runningLoads;
    if (m_runningLoads == 1)
        emit isLoadingChanged();
    setError(std::nullopt);

    // Leaves the loading state however the load ends.
    auto finish = [](ProfileModel *model) {
        if (--model->m_runningLoads == 0)
            emit model->isLoadingChanged();
    };

    const std::optional<QString> token = m_tokenProvider ? m_tokenProvider() : std::nullopt;
    if (!token) {
        setError(LocalizedText{QStringLiteral("Токен не найден"), QStringLiteral("Token not found")});
        finish(this);
        co_return;
    }
    QPointer<APIClient> api = m_api;
    if (!api) {
        setError(LocalizedText::same(APIError::invalidURL().description()));
        finish(this);
        co_return;
    }

    QPointer<ProfileModel> self(this);
    const APIResult<ProfileResponse> result = co_await api->getProfile(*token);
    if (!self)
        co_return;

    if (result.ok()) {
        const ProfileResponse &response = result.value();
        if (response.success && response.profile) {
            setError(std::nullopt);
            setProfile(response.profile);
        } else {
            // The previous profile stays, but the error hides it.
            setError(response.error ? LocalizedText::same(*response.error)
                                    : LocalizedText{QStringLiteral("Ошибка загрузки"), QStringLiteral("Loading error")});
        }
    } else {
        setError(LocalizedText::same(result.error().description()));
    }
    finish(this);
}

bool ProfileModel::openWebsite() const
{
    return hasUsername() && WebPage::shared().open(*m_profile->username);
}

QString ProfileModel::nameLine(const UserProfile &profile)
{
    if (!profile.name)
        return profile.email;
    if (profile.lastName)
        return *profile.name + QLatin1Char(' ') + *profile.lastName;
    return *profile.name;
}

QList<ProfileModel::TableRow> ProfileModel::tableRows(const UserProfile &profile)
{
    const auto shown = [](const std::optional<QString> &value) { return value.value_or(QStringLiteral("-")); };
    return {
        {LocalizedText::same(QStringLiteral("Email")), profile.email},
        {{QStringLiteral("Имя"), QStringLiteral("First Name")}, shown(profile.name)},
        {{QStringLiteral("Фамилия"), QStringLiteral("Last Name")}, shown(profile.lastName)},
        {{QStringLiteral("Город"), QStringLiteral("City")}, shown(profile.city)},
        {{QStringLiteral("Дата рождения"), QStringLiteral("Birth Date")}, shown(profile.formattedBirthDate())},
        {{QStringLiteral("Пол"), QStringLiteral("Gender")}, shown(profile.genderLocalized())},
    };
}

void ProfileModel::setError(std::optional<LocalizedText> error)
{
    if (m_error == error)
        return;
    m_error = std::move(error);
    emit errorMessageChanged();
}
