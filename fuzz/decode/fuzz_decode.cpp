// Feeds arbitrary bytes to the response decoders; the first byte picks the decoder. Beyond "no crash",
// every body that decodes must write back to JSON and decode again to the same record, and every
// failure must carry a text for the screens.
#include "AccountRecords.h"
#include "MessagingRecords.h"
#include "CallRecords.h"
#include "JsonDom.h"
#include "JsonReader.h"
#include "MultipartBody.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {

void touchDerived(const User &u) { (void)u.avatarURL(); }
void touchDerived(const UserProfile &p)
{
    (void)p.avatarURL();
    (void)p.formattedBirthDate();
    (void)p.genderLocalized();
}
void touchDerived(const AuthResponse &a)
{
    if (a.user)
        touchDerived(*a.user);
}
void touchDerived(const ProfileResponse &p)
{
    if (p.profile)
        touchDerived(*p.profile);
}
void touchDerived(const ConversationsResponse &c)
{
    for (const Conversation &conversation : c.conversations.value_or(QList<Conversation>())) {
        const Friend f = Friend::fromConversation(conversation);
        (void)f.displayName();
        (void)f.avatarURL();
    }
}
void touchDerived(const Message &m)
{
    (void)m.attachmentFileName();
    if (m.attachedFile)
        (void)m.attachedFile->icon();
}
void touchDerived(const MessagesResponse &r)
{
    for (const Message &m : r.messages.value_or(QList<Message>()))
        touchDerived(m);
}
void touchDerived(const SendMessageResponse &r)
{
    if (r.message)
        touchDerived(*r.message);
}
template <class T> void touchDerived(const T &) {}

template <class T>
void check(const QByteArray &body)
{
    const APIResult<T> result = T::decode(body);
    if (!result.ok()) {
        if (result.error().kind != APIError::Kind::Decoding || result.error().description().isEmpty())
            std::abort();
        return;
    }
    touchDerived(result.value());
    const QByteArray written = QJsonDocument(result.value().toJson()).toJson(QJsonDocument::Compact);
    const APIResult<T> again = T::decode(written);
    if (!again.ok() || !(again.value() == result.value()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 13) {
    case 0: check<AuthResponse>(body); break;
    case 1: check<ProfileResponse>(body); break;
    case 2: check<ConversationsResponse>(body); break;
    case 3: check<MessagesResponse>(body); break;
    case 4: check<SendMessageResponse>(body); break;
    case 5: check<FileUploadResponse>(body); break;
    case 6: check<ErrorResponse>(body); break;
    case 7: check<CallResponse>(body); break;
    case 8: check<CallStatusResponse>(body); break;
    case 9: check<IncomingCallResponse>(body); break;
    case 10: {
        // The unread count's reading of a body.
        JsonDom dom;
        QString error;
        if (!dom.parse(body, &error)) {
            if (error.isEmpty())
                std::abort();
            break;
        }
        const std::uint32_t count = dom.member(dom.root(), "unreadCount");
        if (count != JsonDom::npos) {
            const auto exact = dom.integer(dom.node(count));
            // An exact integer must agree with Qt's own reading wherever Qt is exact.
            const QJsonValue qt = QJsonDocument::fromJson(body).object().value(QLatin1String("unreadCount"));
            if (exact && qt.isDouble() && qAbs(qt.toDouble()) < 9007199254740992.0 && qt.toDouble() != double(*exact))
                std::abort();
        }
        break;
    }
    case 11: {
        const QString key = QString::fromUtf8(body);
        const QString converted = JsonReader::convertFromSnakeCase(key);
        if (!key.contains(QLatin1Char('_')) && converted != key)
            std::abort();
        // The allocation-free matcher agrees with the conversion, both ways (keys reaching it are
        // always valid UTF-8: the parser refuses anything else).
        if (key.toUtf8() != body)
            break;
        if (!JsonReader::convertedKeyEquals(body, converted.toUtf8()))
            std::abort();
        const qsizetype cut = body.size() / 2;
        const QByteArray other = body.mid(cut) + body.left(cut);
        if (JsonReader::convertedKeyEquals(body, other) != (converted.toUtf8() == other))
            std::abort();
        break;
    }
    case 12: {
        const QString name = QString::fromUtf8(body);
        const QByteArray escaped = escapeMultipartFileName(name);
        if (escaped.contains('"') || escaped.contains('\r') || escaped.contains('\n'))
            std::abort();
        (void)buildMultipartBody(QStringLiteral("B"), name, body);
        break;
    }
    }
    return 0;
}
