#include "Icons.h"

#include "FontSetup.h"

#include <QHash>
#include <QJSEngine>

namespace {

const QHash<QString, char32_t> &table()
{
    // Material Icons code points (ligature name in the comment).
    static const QHash<QString, char32_t> map = {
        // Sidebar and window
        {QStringLiteral("bubble.left.fill"), 0xe0ca},             // chat_bubble
        {QStringLiteral("bubble.left"), 0xe0cb},                  // chat_bubble_outline
        {QStringLiteral("bubble.left.and.bubble.right"), 0xe0bf}, // forum
        {QStringLiteral("person.2.fill"), 0xe7fb},                // people
        {QStringLiteral("person.2"), 0xe7fc},                     // people_outline
        {QStringLiteral("gearshape.fill"), 0xe8b8},               // settings
        {QStringLiteral("gearshape"), 0xe8b8},                    // settings
        {QStringLiteral("person.circle.fill"), 0xe853},           // account_circle
        {QStringLiteral("person.crop.circle"), 0xe853},           // account_circle
        {QStringLiteral("person.fill"), 0xe7fd},                  // person
        {QStringLiteral("person.badge.plus"), 0xe7fe},            // person_add
        {QStringLiteral("sidebar.left"), 0xf114},                 // view_sidebar
        // Login and theme
        {QStringLiteral("eye"), 0xe8f4},                          // visibility
        {QStringLiteral("eye.slash"), 0xe8f5},                    // visibility_off
        {QStringLiteral("sun.max.fill"), 0xe518},                 // light_mode
        {QStringLiteral("moon.fill"), 0xe51c},                    // dark_mode
        {QStringLiteral("globe"), 0xe894},                        // language
        {QStringLiteral("lock"), 0xe897},                         // lock
        {QStringLiteral("envelope"), 0xe158},                     // mail
        // Calls and audio
        {QStringLiteral("phone.fill"), 0xe0cd},                   // phone
        {QStringLiteral("phone.down.fill"), 0xe0b1},              // call_end
        {QStringLiteral("phone.connection"), 0xe61d},             // phone_in_talk
        {QStringLiteral("mic.fill"), 0xe029},                     // mic
        {QStringLiteral("mic"), 0xe02a},                          // mic_none
        {QStringLiteral("mic.slash.fill"), 0xe02b},               // mic_off
        {QStringLiteral("mic.badge.plus"), 0xe8c8},               // settings_voice
        {QStringLiteral("speaker.wave.2.fill"), 0xe050},          // volume_up
        {QStringLiteral("speaker.wave.3.fill"), 0xe050},          // volume_up
        {QStringLiteral("speaker.wave.1.fill"), 0xe04d},          // volume_down
        {QStringLiteral("speaker.slash.fill"), 0xe04f},           // volume_off
        // Lists, friends, profile
        {QStringLiteral("xmark"), 0xe5cd},                        // close
        {QStringLiteral("xmark.circle.fill"), 0xe5c9},            // cancel
        {QStringLiteral("exclamationmark.triangle"), 0xf083},     // warning_amber
        {QStringLiteral("exclamationmark.triangle.fill"), 0xe002}, // warning
        {QStringLiteral("exclamationmark.circle.fill"), 0xe000},  // error
        {QStringLiteral("magnifyingglass"), 0xe8b6},              // search
        {QStringLiteral("message.fill"), 0xe0c9},                 // message
        {QStringLiteral("message"), 0xe0cb},                      // chat_bubble_outline
        {QStringLiteral("square.and.pencil"), 0xe266},            // add_comment
        {QStringLiteral("plus.bubble"), 0xe266},                  // add_comment
        {QStringLiteral("plus"), 0xe145},                         // add
        {QStringLiteral("ellipsis"), 0xe5d3},                     // more_horiz
        {QStringLiteral("safari"), 0xe87a},                       // explore
        {QStringLiteral("rectangle.portrait.and.arrow.right"), 0xe9ba}, // logout
        {QStringLiteral("checkmark"), 0xe5ca},                    // check
        {QStringLiteral("checkmark.circle.fill"), 0xe86c},        // check_circle
        {QStringLiteral("chevron.left"), 0xe5cb},                 // chevron_left
        {QStringLiteral("chevron.right"), 0xe5cc},                // chevron_right
        {QStringLiteral("arrow.left"), 0xe5c4},                   // arrow_back
        {QStringLiteral("bell"), 0xe7f4},                         // notifications
        {QStringLiteral("info.circle"), 0xe88e},                  // info
        {QStringLiteral("doc.on.doc"), 0xe14d},                   // content_copy
        {QStringLiteral("trash"), 0xe872},                        // delete
        // Chat, composer and attachments
        {QStringLiteral("photo"), 0xe3f4},                        // image
        {QStringLiteral("video"), 0xe04b},                        // videocam
        {QStringLiteral("music.note"), 0xe405},                   // music_note
        {QStringLiteral("doc.text"), 0xe873},                     // description
        {QStringLiteral("doc.zipper"), 0xeb2c},                   // folder_zip
        {QStringLiteral("doc"), 0xe24d},                          // insert_drive_file
        {QStringLiteral("arrow.clockwise"), 0xe5d5},              // refresh
        {QStringLiteral("sparkles"), 0xe65f},                     // auto_awesome
        {QStringLiteral("paperclip"), 0xe226},                    // attach_file
        {QStringLiteral("paperplane.fill"), 0xe163},              // send
        {QStringLiteral("paperplane"), 0xe163},                   // send
        {QStringLiteral("face.smiling"), 0xe0ed},                 // sentiment_satisfied_alt
        {QStringLiteral("arrow.down.circle"), 0xf090},            // download
        {QStringLiteral("arrow.down.circle.fill"), 0xf090},       // download
        {QStringLiteral("questionmark.circle"), 0xe8fd},          // help_outline
    };
    return map;
}

} // namespace

Icons::Icons(QObject *parent)
    : QObject(parent)
{
}

Icons &Icons::shared()
{
    static Icons *instance = new Icons;
    return *instance;
}

Icons *Icons::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

QString Icons::fontFamily()
{
    return FontSetup::iconFamily();
}

char32_t Icons::codePoint(const QString &name)
{
    return table().value(name, fallbackCodePoint);
}

QString Icons::glyph(const QString &name)
{
    const char32_t cp = codePoint(name);
    return QString::fromUcs4(&cp, 1);
}

bool Icons::isKnown(const QString &name)
{
    return table().contains(name);
}

QStringList Icons::knownNames()
{
    return table().keys();
}
