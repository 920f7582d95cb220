#pragma once

#include <QString>
#include <QtGlobal>

// The application's dock badge through the Unity LauncherEntry D-Bus signal, which docks and panels
// of most Linux desktops (Dash to Dock, Plank, KDE's task manager) listen to.
namespace LauncherBadge {

inline constexpr auto interfaceName = "com.canonical.Unity.LauncherEntry";
inline constexpr auto objectPath = "/com/theorvane/teams/LauncherEntry";

// "application://<desktop file id>", from QGuiApplication::desktopFileName() or "theorvane-teams.desktop".
QString appUri();

// Shows `count` on the badge; 0 or less removes it. Returns false when no session bus is reachable.
bool setCount(qint64 count);

} // namespace LauncherBadge
