import QtQuick
import QtQuick.Controls.Basic
import Orvane.Session

// A level from 0 to 1: a thin rounded track filled up to a white round handle.
Slider {
    id: slider

    property var colors: AppColors.current
    property color fillColor: colors.primary

    from: 0
    to: 1
    FocusRing { control: slider; target: slider.handle; radius: width / 2 }

    background: Rectangle {
        x: slider.leftPadding
        y: slider.topPadding + slider.availableHeight / 2 - height / 2
        width: slider.availableWidth
        height: 4
        radius: 2
        color: slider.colors.muted
        Rectangle {
            width: slider.visualPosition * parent.width
            height: parent.height
            radius: 2
            color: slider.fillColor
        }
    }
    handle: Rectangle {
        x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
        y: slider.topPadding + slider.availableHeight / 2 - height / 2
        width: 16
        height: 16
        radius: 8
        color: "white"
        border.width: 1
        border.color: slider.colors.isDark ? "#71717A" : "#D4D4D8"
    }
}
