import QtQuick
import Orvane.Messaging.Composer

// The chat's composer in one place: the editor bar with spelling, attach and emoji buttons. Bind
// `message` and write back what messageEdited() reports; send(), spellCheck() and attach() are its actions.
ChatInputView {
}
