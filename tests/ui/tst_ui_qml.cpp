#include "FontSetup.h"

#include <QQmlEngine>
#include <QSettings>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QSettings settings(QStringLiteral("TheOrvane"), QStringLiteral("Teams"));
        settings.clear();
        settings.sync();
        FontSetup::apply();
    }
    void qmlEngineAvailable(QQmlEngine *engine) { engine->addImportPath(QStringLiteral("qrc:/qt/qml")); }
};

QUICK_TEST_MAIN_WITH_SETUP(ui_qml, Setup)
#include "tst_ui_qml.moc"
