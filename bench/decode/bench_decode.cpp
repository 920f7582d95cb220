// Decodes a MessagesResponse of 10,000 messages repeatedly and prints the time per decode:
// decode_10k_ms is the fastest round (the least disturbed by other processes on a shared machine),
// with the median wall time and the median CPU time of the decoding thread beside it.
//   bench_decode [rounds]      (default 30)
#include "MessagingRecords.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <ctime>
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

struct Timing {
    double minMs;
    double medianMs;
    double cpuMedianMs;
};

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

Timing measure(const QByteArray &body, int rounds)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        const auto result = MessagesResponse::decode(body);
        cpu.push_back(threadCpuMs() - cpuStart);
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!result.ok() || result.value().messages->size() != 10000) {
            std::fprintf(stderr, "decode failed: %s\n", qPrintable(result.error().description()));
            std::exit(1);
        }
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall.front(), wall[wall.size() / 2], cpu[cpu.size() / 2]};
}
} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    const QByteArray camel = buildBody(false);
    const QByteArray snake = buildBody(true);
    const Timing t = measure(camel, rounds);
    const Timing snakeT = measure(snake, rounds);
    std::printf("body_bytes=%lld\n", static_cast<long long>(camel.size()));
    std::printf("decode_10k_ms=%.2f\n", t.minMs);
    std::printf("decode_mb_per_s=%.1f\n", double(camel.size()) / 1e6 / (t.minMs / 1000.0));
    std::printf("decode_10k_median_ms=%.2f\n", t.medianMs);
    std::printf("decode_10k_cpu_ms=%.2f\n", t.cpuMedianMs);
    std::printf("snake_case_decode_10k_ms=%.2f\n", snakeT.minMs);
    std::printf("snake_case_decode_10k_cpu_ms=%.2f\n", snakeT.cpuMedianMs);
    return 0;
}
