import QtQuick
import Qt5Compat.GraphicalEffects
import Orvane.Session
import Orvane.Ui

// A round picture loaded from `source`; a pulsing circle while it loads and the person symbol when
// there is no address or the load failed.
Item {
    id: root

    property url source
    property real size: 36
    property var colors: AppColors.current
    property string fallbackSymbol: "person.fill"
    property color fallbackColor: colors.mutedForeground
    property color fallbackBackground: colors.muted

    readonly property bool loading: image.status === Image.Loading
    readonly property bool showsImage: image.status === Image.Ready
    readonly property bool showsFallback: !loading && !showsImage

    Accessible.ignored: true
    implicitWidth: size
    implicitHeight: size
    width: size
    height: size

    Rectangle {
        id: mask
        anchors.fill: parent
        radius: width / 2
        color: root.fallbackBackground
        visible: root.showsFallback
    }

    Icon {
        anchors.centerIn: parent
        visible: root.showsFallback
        name: root.fallbackSymbol
        size: Math.round(root.size * 0.55)
        color: root.fallbackColor
    }

    SkeletonCircle {
        anchors.fill: parent
        size: root.size
        colors: root.colors
        visible: root.loading
    }

    Image {
        id: image
        anchors.fill: parent
        source: AvatarImages.address(root.source)
        asynchronous: true
        cache: true
        fillMode: Image.PreserveAspectCrop
        sourceSize: Qt.size(root.size * 2, root.size * 2)
        // The software renderer has no shader effects: draw the picture unmasked there.
        visible: root.showsImage && root.GraphicsInfo.api === GraphicsInfo.Software
    }

    OpacityMask {
        anchors.fill: parent
        source: image
        maskSource: Rectangle {
            width: root.width
            height: root.height
            radius: width / 2
        }
        visible: root.showsImage && root.GraphicsInfo.api !== GraphicsInfo.Software
    }
}
