// Decodes a MessagesResponse of 10,000 messages repeatedly and prints the median time per decode.
//   bench_decode [rounds]      (default 30)
#include "MessagingRecords.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// Keys as the server writes them; snake case exercises the key conversion too.
QByteArray buildBody(bool snakeCase)
{
    auto key = [snakeCase](const char *camel, const char *snake) { return QString::fromLatin1(snakeCase ? snake : camel); };
    QJsonArray messages;
    for (int i = 0; i < 10000; ++i) {
        QJsonObject m;
        m.insert("id", QStringLiteral("6f1c2a7e-%1-4b1d-9f3e-2c5d8a9b0e%2").arg(i, 4, 16, QLatin1Char('0')).arg(i % 100, 2, 10, QLatin1Char('0')));
        m.insert("content", i % 3 == 0 ? QStringLiteral("Привет! Как дела с отчётом за квартал? Нужно отправить его до пятницы, номер %1").arg(i)
                                        : QStringLiteral("Sure, I'll send the report before Friday. Ticket #%1 is the one.").arg(i));
        m.insert(key("senderId", "sender_id"), i % 2 ? QStringLiteral("user-000001") : QStringLiteral("user-000002"));
        m.insert(key("createdAt", "created_at"), QStringLiteral("2026-12-06T10:%1:%2.123456Z").arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')));
        m.insert(key("isRead", "is_read"), i % 5 != 0);
        m.insert(key("isMine", "is_mine"), i % 2 == 1);
        if (i % 10 == 0) {
            m.insert(key("attachmentUrl", "attachment_url"), QStringLiteral("https://content.theorvane.example/files/1733480000-ab12cd-report-%1.pdf").arg(i));
            m.insert(key("attachmentType", "attachment_type"), QStringLiteral("application/pdf"));
        }
        messages.append(m);
    }
    QJsonObject body;
    body.insert("success", true);
    body.insert(key("conversationId", "conversation_id"), QStringLiteral("conv-42"));
    body.insert(key("hasMore", "has_more"), false);
    body.insert("messages", messages);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

double medianMs(const QByteArray &body, int rounds)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        const auto result = MessagesResponse::decode(body);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!result.ok() || result.value().messages->size() != 10000) {
            std::fprintf(stderr, "decode failed: %s\n", qPrintable(result.error().description()));
            std::exit(1);
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const QByteArray camel = buildBody(false);
    const QByteArray snake = buildBody(true);
    const double ms = medianMs(camel, rounds);
    const double snakeMs = medianMs(snake, rounds);
    std::printf("body_bytes=%lld\n", static_cast<long long>(camel.size()));
    std::printf("decode_10k_ms=%.2f\n", ms);
    std::printf("decode_mb_per_s=%.1f\n", double(camel.size()) / 1e6 / (ms / 1000.0));
    std::printf("snake_case_decode_10k_ms=%.2f\n", snakeMs);
    std::printf("snake_case_decode_mb_per_s=%.1f\n", double(snake.size()) / 1e6 / (snakeMs / 1000.0));
    return 0;
}
