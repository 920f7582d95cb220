#include "ServerReachability.h"

#include <QNetworkReply>

ServerReachability &ServerReachability::shared()
{
    // Never released: requests finishing during shutdown may still report.
    static ServerReachability *instance = new ServerReachability;
    return *instance;
}

bool ServerReachability::isUnreachableStatus(int httpStatus)
{
    return httpStatus == 502 || httpStatus == 503 || httpStatus == 504;
}

bool ServerReachability::isUnreachableError(int networkError)
{
    switch (QNetworkReply::NetworkError(networkError)) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

void ServerReachability::reportAnswer(int httpStatus)
{
    set(!isUnreachableStatus(httpStatus));
}

void ServerReachability::reportFailure(int networkError)
{
    if (isUnreachableError(networkError))
        set(false);
}

void ServerReachability::set(bool reachable)
{
    if (m_reachable == reachable)
        return;
    m_reachable = reachable;
    emit reachableChanged(reachable);
}
