// The client against the reference server over HTTPS: a certificate from the private CA named by
// THEORVANE_CA_CERTIFICATES is trusted; any other is refused before a request is written, and the
// request is never tried again unverified. Certificates are made here, for this run only.
#include "APIClient.h"
#include "AuthManager.h"
#include "CallAPIClient.h"
#include "ReferenceServer.h"
#include "ServerConfig.h"
#include "TestHttpServer.h"

#include <QProcess>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QTest>

#include <QCoro/QCoroTask>

namespace {
const char *const makeCertificates = R"(set -e; cd "$1"
ec="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $ec -keyout ca.key -out ca.pem -days 2 -subj /CN=Orvane-Test-CA
leaf() {
  openssl req $ec -keyout $1.key -out $1.csr -subj /CN=$1
  openssl x509 -req -in $1.csr -CA ca.pem -CAkey ca.key -out $1.pem -days $3 -extfile <(echo subjectAltName=$2)
}
leaf good IP:127.0.0.1 2; leaf otherhost DNS:elsewhere.example 2; leaf expired IP:127.0.0.1 -1
openssl req -x509 $ec -keyout self.key -out self.pem -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1
)";
} // namespace

class TlsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_certs;
    QString m_port;

    bool start(ReferenceServer &server, const QString &name)
    {
        return server.start({"--port", m_port, "--log-requests", "--tls-cert", m_certs.filePath(name + ".pem"),
                             "--tls-key", m_certs.filePath(name + ".key")});
    }

private slots:
    void initTestCase()
    {
        QProcess openssl;
        openssl.start("bash", {"-c", makeCertificates, "-", m_certs.path()});
        QVERIFY(openssl.waitForFinished(60000));
        QVERIFY2(openssl.exitCode() == 0, openssl.readAllStandardError().constData());
        qputenv("THEORVANE_CA_CERTIFICATES", m_certs.filePath("ca.pem").toUtf8());
        // One port for every server, so the shared clients keep their address.
        m_port = QString::number(TestHttpServer::closedPort());
        qputenv("THEORVANE_SERVER_URL", "https://127.0.0.1:" + m_port.toUtf8());
        QVERIFY(ServerConfig::current().isValid());
        QVERIFY(QSslConfiguration::defaultConfiguration().caCertificates().size() > 1); // the system's stay
    }

    void untrustedCertificatesAreRefused_data()
    {
        QTest::addColumn<QString>("certificate");
        QTest::newRow("self-signed") << "self";
        QTest::newRow("other host name") << "otherhost";
        QTest::newRow("expired") << "expired";
    }
    void untrustedCertificatesAreRefused()
    {
        QFETCH(QString, certificate);
        ReferenceServer server;
        server.setDemo(false);
        QVERIFY2(start(server, certificate), qPrintable(server.error()));
        AuthManager &auth = AuthManager::shared();
        QVERIFY(!QCoro::waitFor(auth.loginAsync("anna@demo.theorvane.example", "secret")));
        QVERIFY2(auth.error().contains("SSL"), qPrintable(auth.error()));
        QByteArray printed;
        server.stop(&printed);
        QVERIFY2(!printed.contains("/api/mobile"), printed.constData()); // nothing sent, nothing retried
    }

    void certificateOfThePrivateAuthorityServesEverything()
    {
        ReferenceServer server;
        QVERIFY2(start(server, "good"), qPrintable(server.error()));
        // One request from each way a client builds its requests: JSON, multipart, the calls' client.
        APIClient *api = APIClient::shared();
        QString tokens[2], ids[2];
        for (int i : {0, 1}) {
            const auto signIn = server.demoSignIns().at(i);
            const auto answer = QCoro::waitFor(api->login(signIn.email, signIn.password));
            QVERIFY2(answer.ok(), qPrintable(answer.error().description()));
            tokens[i] = *answer.value().token;
            ids[i] = answer.value().user->id;
        }
        QVERIFY(QCoro::waitFor(api->uploadFile(tokens[0], m_certs.filePath("ca.pem"))).ok());
        QVERIFY(QCoro::waitFor(CallAPIClient::shared()->initiateCall(tokens[0], ids[1], "v=0\r\n")).ok());
    }
};

QTEST_GUILESS_MAIN(TlsTest)
#include "tst_tls.moc"
