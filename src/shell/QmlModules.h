#pragma once

// Every QML module of the client is a static plugin. An executable that loads the screens includes this
// header once (in its main file) so the linker keeps every module's registration.
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Orvane_ShellPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_PeoplePlugin)
Q_IMPORT_QML_PLUGIN(Orvane_DesktopPlugin)
#ifdef HAVE_ORVANE_MESSAGING
Q_IMPORT_QML_PLUGIN(Orvane_MessagingPlugin)
#endif
#ifdef HAVE_ORVANE_COMPOSER
Q_IMPORT_QML_PLUGIN(Orvane_Messaging_ComposerPlugin)
#endif
