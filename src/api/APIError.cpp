#include "APIError.h"

QString APIError::description() const
{
    switch (kind) {
    case Kind::InvalidURL:
        return QStringLiteral("Invalid URL");
    case Kind::InvalidResponse:
        return QStringLiteral("Invalid server response");
    case Kind::ServerError:
    case Kind::NetworkError:
    case Kind::Decoding:
    case Kind::Transport:
    case Kind::File:
        break;
    }
    return message;
}
