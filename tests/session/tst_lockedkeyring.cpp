#include "Diagnostics.h"
#include "TokenStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// A Secret Service that takes every call and never answers, as a keyring waiting forever for an
// unlock prompt does.
class SilentSecretService : public QDBusVirtualObject
{
public:
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        ++calls;
        Q_UNUSED(message);
        return true; // handled, and no reply is ever sent
    }
    QString introspect(const QString &) const override { return {}; }
    int calls = 0;
};

} // namespace

class TestLockedKeyring : public QObject
{
    Q_OBJECT

    SilentSecretService m_service;

private slots:
    void initTestCase()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        if (bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))
            QSKIP("a real Secret Service owns the bus; this test needs a bus of its own");
        QVERIFY(bus.registerVirtualObject(QStringLiteral("/"), &m_service, QDBusConnection::SubPath));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.secrets")));
    }

    void everyJobEndsDespiteTheHang()
    {
        QStringList lines;
        setDiagnosticsSink([&lines](const QString &line) { lines << line; });

        TokenStore store;
        store.setJobTimeout(300ms);
        QSignalSpy loaded(&store, &TokenStore::loaded);
        QSignalSpy failed(&store, &TokenStore::saveFailed);
        store.load();
        store.save(QStringLiteral("tok-1"));
        store.remove();
        store.save(QStringLiteral("tok-2"));

        // The mirror follows the calls at once, whatever the keyring does.
        QCOMPARE(store.token(), std::optional<QString>(QStringLiteral("tok-2")));
        QTRY_VERIFY_WITH_TIMEOUT(store.isIdle(), 20000);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(failed.count(), 2);
        QCOMPARE(lines.filter(QStringLiteral("Failed to save token: ")).size(), 2);
        // The read that timed out does not overwrite what was saved meanwhile.
        QCOMPARE(store.token(), std::optional<QString>(QStringLiteral("tok-2")));
        QVERIFY(m_service.calls > 0);

        TokenStore fresh;
        fresh.setJobTimeout(300ms);
        QSignalSpy freshLoaded(&fresh, &TokenStore::loaded);
        fresh.load();
        QVERIFY(freshLoaded.wait(20000));
        QVERIFY(fresh.isLoaded());
        QVERIFY(!fresh.token());
        setDiagnosticsSink({});
    }
};

QTEST_MAIN(TestLockedKeyring)
#include "tst_lockedkeyring.moc"
