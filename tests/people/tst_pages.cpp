// The friends and profile pages signed in to the reference server, down to signing out.
#include "AuthManager.h"
#include "FriendsListModel.h"
#include "ReferenceServer.h"
#include "TokenStore.h"

#include <QCoro/QCoroTask>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickView>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(Orvane_PeoplePlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)

namespace {

constexpr int waitMs = 20000; // bound for HTTP and keyring round trips, never a timing assertion

// What the keyring holds right now, read by a store of its own.
std::optional<QString> keyringToken()
{
    TokenStore store;
    QSignalSpy loaded(&store, &TokenStore::loaded);
    store.load();
    if (!store.isLoaded() && !loaded.wait(waitMs))
        return QStringLiteral("<keyring did not answer>");
    return store.token();
}

// Items made by views and repeaters have a visual parent only, so walk the item tree.
QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

    ReferenceServer m_server;
    ReferenceServer::SignIn m_member;
    std::unique_ptr<QQuickView> m_view;

    QQuickItem *show(const QByteArray &qml)
    {
        m_view = std::make_unique<QQuickView>();
        m_view->engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        m_view->resize(900, 700);
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        QQmlComponent component(m_view->engine());
        component.setData("import QtQuick\nimport Orvane.People\n" + qml, QUrl(QStringLiteral("inline.qml")));
        auto *item = qobject_cast<QQuickItem *>(component.create());
        if (!item) {
            qWarning() << component.errors();
            return nullptr;
        }
        m_view->setContent(QUrl(), &component, item);
        m_view->show();
        if (!QTest::qWaitForWindowExposed(m_view.get()))
            return nullptr;
        return item;
    }

    void click(QQuickItem *item)
    {
        QVERIFY(item);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(m_view.get(), Qt::LeftButton, {}, centre.toPoint());
    }

private slots:
    void initTestCase()
    {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        m_member = m_server.demoSignIns().first();
        AuthManager &auth = AuthManager::shared();
        QTRY_VERIFY_WITH_TIMEOUT(!auth.isCheckingToken(), waitMs);
        QVERIFY(QCoro::waitFor(auth.loginAsync(m_member.email, m_member.password)));
        QTRY_VERIFY_WITH_TIMEOUT(auth.tokenStore().isIdle(), waitMs);
        QCOMPARE(keyringToken(), auth.getToken());
    }

    void cleanup() { m_view.reset(); }

    void friendsPageListsTheMembersFriends()
    {
        QQuickItem *page = show("FriendsListView { objectName: \"page\"; width: 900; height: 700 }");
        QVERIFY(page);
        auto *model = page->property("model").value<FriendsListModel *>();
        QVERIFY(model);
        QTRY_COMPARE_WITH_TIMEOUT(model->state(), FriendsListModel::List, waitMs);

        QStringList shown;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString id = model->index(row).data(FriendsListModel::IdRole).toString();
            auto *rowItem = findItem(page, QStringLiteral("friendRow_") + id);
            QVERIFY(rowItem);
            shown << findItem(rowItem, QStringLiteral("usernameText"))->property("text").toString();
        }
        shown.sort();
        QCOMPARE(shown, (QStringList{"@boris", "@john", "@maria", "@sofia"}));

        // Chat and call hand the host the friend as a map.
        const QString firstId = model->index(0).data(FriendsListModel::IdRole).toString();
        auto *firstRow = findItem(page, QStringLiteral("friendRow_") + firstId);
        QSignalSpy selected(page, SIGNAL(friendSelected(QVariant)));
        QSignalSpy call(page, SIGNAL(callRequested(QVariant)));
        click(findItem(firstRow, QStringLiteral("chatButton")));
        QCOMPARE(selected.count(), 1);
        const QVariantMap chosen = selected.first().first().toMap();
        QCOMPARE(chosen.value("id").toString(), firstId);
        QVERIFY(chosen.contains("username"));
        QVERIFY(chosen.contains("unreadCount"));
        click(findItem(firstRow, QStringLiteral("callButton")));
        QCOMPARE(call.count(), 1);
        QCOMPARE(call.first().first().toMap().value("id").toString(), firstId);
    }

    void profileShowsTheMemberAndLogoutSignsOut()
    {
        QQuickItem *page = show("ProfilePageView { width: 900; height: 700 }");
        QVERIFY(page);
        auto *profileView = findItem(page, QStringLiteral("profileView"));
        QVERIFY(profileView);
        QTRY_VERIFY_WITH_TIMEOUT(profileView->isVisible(), waitMs);
        QCOMPARE(findItem(page, QStringLiteral("nameLine"))->property("text").toString(), m_member.name);
        auto *emailRow = findItem(page, QStringLiteral("profileRow0"));
        QVERIFY(emailRow);
        QCOMPARE(emailRow->property("value").toString(), m_member.email);

        AuthManager &auth = AuthManager::shared();
        QVERIFY(auth.isAuthenticated());
        click(findItem(page, QStringLiteral("logoutButton")));
        QVERIFY(!auth.isAuthenticated());
        QVERIFY(!auth.getToken());
        QTRY_VERIFY_WITH_TIMEOUT(auth.tokenStore().isIdle(), waitMs);
        QCOMPARE(keyringToken(), std::nullopt);
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
