import QtQuick
import Orvane.Session

// A rounded surface with a soft border.
Rectangle {
    property var colors: AppColors.current

    radius: 12
    color: colors.card
    border.width: 1
    border.color: colors.border
}
