import QtQuick
import Orvane.Session

// The keyboard focus mark: a 2-point ring in the palette's ring colour just outside `target` (inside
// it with a negative offset, where a parent clips). Controls show it for keyboard focus only
// (visualFocus: a click leaves no ring), plain items whenever they hold the active focus.
Rectangle {
    property Item control: parent
    property Item target: control
    property var colors: AppColors.current
    property real offset: 3
    readonly property bool shown: !!control
                                  && (control.visualFocus !== undefined ? control.visualFocus : control.activeFocus)

    x: (target && target !== parent ? target.x : 0) - offset
    y: (target && target !== parent ? target.y : 0) - offset
    width: (target ? target.width : 0) + 2 * offset
    height: (target ? target.height : 0) + 2 * offset
    radius: 8 + offset
    z: 100
    visible: shown
    color: "transparent"
    border.width: 2
    border.color: colors.ring
    Accessible.ignored: true
}
