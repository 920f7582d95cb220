#include "MessageFeed.h"

#include "APIClient.h"
#include "TextRules.h"

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

namespace {

// Decodes a new body. Messages equal to the previous answer's at the same place are taken from it, with
// their log lines: the GUI thread then compares, and later frees, shared text rather than copies.
MessageFeed::Load decodeBody(const QByteArray &body, const MessageFeed::Load &previous)
{
    MessageFeed::Load load{MessagesResponse::decode(body), {}, false};
    if (!load.answer.ok() || !load.answer.value().success)
        return load;
    static const std::optional<QList<Message>> none;
    auto &messages = load.answer.value().messages;
    const auto &before = previous.answer.ok() ? previous.answer.value().messages : none;
    if (!messages || !before || before->size() != previous.lines.size() - 1) {
        load.lines = MessageFeed::logLines(load.answer.value());
        return load;
    }
    load.lines.reserve(messages->size() + 1);
    load.lines.append(QStringLiteral("[ChatView] Loaded %1 messages").arg(messages->size()));
    for (qsizetype i = 0; i < messages->size(); ++i) {
        if (i < before->size() && before->at(i) == messages->at(i)) {
            (*messages)[i] = before->at(i);
            load.lines.append(previous.lines.at(i + 1));
        } else {
            load.lines.append(MessageFeed::logLine(messages->at(i)));
        }
    }
    return load;
}

} // namespace

MessageFeed::MessageFeed(QObject *parent)
    : QObject(parent)
{
}

MessageFeed::~MessageFeed() = default;

QCoro::Task<MessageFeed::Load> MessageFeed::fetch(APIClient *api, QString token, QString participantId)
{
    QPointer<MessageFeed> self(this);
    const auto body = co_await api->getMessagesBody(token, participantId);
    if (!self)
        co_return Load{APIError::transport(QStringLiteral("cancelled"), 0)};
    if (!body.ok())
        co_return Load{body.error()};
    co_return co_await read(body.value());
}

QCoro::Task<MessageFeed::Load> MessageFeed::read(QByteArray body)
{
    if (!m_lastBody.isNull() && body == m_lastBody) {
        Load same = m_last;
        same.unchanged = true;
        co_return same;
    }
    QPointer<MessageFeed> self(this);
    Load load = co_await QtConcurrent::run(decodeBody, body, m_last);
    if (self) {
        m_lastBody = body;
        m_last = load;
    }
    co_return load;
}

QStringList MessageFeed::logLines(const MessagesResponse &answer)
{
    static const QList<Message> none;
    const QList<Message> &list = answer.messages ? *answer.messages : none;
    QStringList lines;
    lines.reserve(list.size() + 1);
    lines.append(QStringLiteral("[ChatView] Loaded %1 messages").arg(list.size()));
    for (const Message &m : list)
        lines.append(logLine(m));
    return lines;
}

QString MessageFeed::logLine(const Message &m)
{
    const QStringView content = QStringView(m.content).left(TextRules::firstCharactersLength(m.content, 30));
    QString line;
    line.reserve(64 + m.id.size() + m.senderId.size() + content.size());
    line.append(u"[ChatView] Message: id=").append(m.id);
    line.append(m.isMine.value_or(false) ? u", isMine=true" : u", isMine=false");
    line.append(u", senderId=").append(m.senderId).append(u", content=").append(content).append(u"...");
    return line;
}
