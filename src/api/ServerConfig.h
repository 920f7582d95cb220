#pragma once

#include <QString>
#include <QStringList>

// The deployment's addresses: build-time defaults (CMake cache variables THEORVANE_SERVER_URL,
// THEORVANE_CONTENT_URL, THEORVANE_WEB_URL), overridden by environment variables of the same names.
// Plain http is accepted only for loopback hosts; anything else must be https.
struct ServerConfig {
    QString serverURL;  // no trailing "/"; empty when the configured value is unacceptable
    QString contentURL; // always ends in "/"; empty when unacceptable
    QString webURL;     // no trailing "/"; empty when unacceptable
    QStringList errors;      // one clear line per unacceptable address

    bool isValid() const { return errors.isEmpty(); }

    // Reads the environment every time, so tests may change it between calls.
    static ServerConfig current();

    // THEORVANE_CA_CERTIFICATES names a PEM file of certificate authorities that every TLS connection of
    // the process trusts besides the system's (a company's own CA). Read once; an error text when the
    // file cannot be used. current() calls it, so its errors are among the configuration's.
    static QString trustCertificateAuthorities();

    // Checks one address; returns the normalized address (no trailing "/") or an empty string and an error text.
    static QString checkAddress(const QString &variable, const QString &value, QString *error);
};
