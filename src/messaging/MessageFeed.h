#pragma once

#include "APIError.h"
#include "MessagingRecords.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <QCoro/QCoroTask>

class APIClient;

// One chat's messages as the server sends them, for the chat's loads and polls. A poll of a long chat
// brings megabytes, nearly always the same as last time: a body identical to the previous one gives the
// previous result at once; a new body is decoded, and its log lines are built, on a worker thread, so
// the GUI thread only compares bytes. Every call resumes on the GUI thread.
class MessageFeed : public QObject
{
    Q_OBJECT
public:
    struct Load {
        APIResult<MessagesResponse> answer;
        // For a successful answer: "[ChatView] Loaded N messages", then one line per message.
        QStringList lines;
        // The body was the previous answer's, byte for byte.
        bool unchanged = false;
    };

    explicit MessageFeed(QObject *parent = nullptr);
    ~MessageFeed() override;

    // The chat with participantId through the API client; failures as the client reports them.
    QCoro::Task<Load> fetch(APIClient *api, QString token, QString participantId);
    // The same for a 2xx body already received.
    QCoro::Task<Load> read(QByteArray body);

    static QStringList logLines(const MessagesResponse &answer);
    static QString logLine(const Message &message);

private:
    QByteArray m_lastBody;
    Load m_last;
};
