// Thumbnails of a 12-megapixel photo-like JPEG (4000 × 3000, about 3 MB).
//
// decode_12mp_ms: the decode to a 320 × 240 thumbnail on a worker thread (median of the rounds);
// full_decode_12mp_ms is the same image decoded whole, for reference. gui_ms_per_thumbnail: the GUI
// thread's CPU time per thumbnail shown, from creating the bubbles' ThumbnailImage items to the frame
// that draws them (the network replies, the hand-over of decoded images, texture upload in the frame),
// with the JPEGs served from 127.0.0.1 by a server on a thread of its own. gui_ms_per_cached_thumbnail:
// the same for bubbles made again, whose thumbnails come from the loader's memory cache.
//   QT_QPA_PLATFORM=offscreen bench_thumbnail [thumbnails]      (default 20)
#include "ThumbnailDecoder.h"
#include "ThumbnailImage.h"
#include "ThumbnailLoader.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QtConcurrent/QtConcurrentRun>

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

// CPU time of the calling thread, to the nanosecond (a cached thumbnail costs less than a clock tick).
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Smooth shapes with grain: compresses and decodes like a photo, unlike a flat fill.
QByteArray photoLikeJpeg()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 3000);
    sky.setColorAt(0, QColor(70, 130, 200));
    sky.setColorAt(1, QColor(230, 200, 150));
    painter.fillRect(image.rect(), sky);
    auto *random = QRandomGenerator::global();
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromHsv(random->bounded(360), 120, 200, 120));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(random->bounded(4000), random->bounded(3000)), random->bounded(40, 400),
                            random->bounded(40, 300));
    }
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random->bounded(24)) - 12;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                           std::clamp(qBlue(p) + n, 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    writer.write(image);
    return bytes;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const QByteArray jpeg = photoLikeJpeg();

    std::vector<double> scaled, full;
    for (int round = 0; round < 7; ++round) {
        QElapsedTimer timer;
        timer.start();
        const auto result = QtConcurrent::run(ThumbnailDecoder::decode, jpeg, 1.0).result();
        scaled.push_back(timer.nsecsElapsed() / 1e6);
        if (result.image.isNull()) {
            std::printf("decode failed: %s\n", qPrintable(result.error));
            return 1;
        }
        timer.restart();
        QtConcurrent::run([&jpeg] { return QImage::fromData(jpeg, "JPEG"); }).result();
        full.push_back(timer.nsecsElapsed() / 1e6);
    }

    httplib::Server server;
    const std::string body(jpeg.constData(), size_t(jpeg.size()));
    server.Get(R"(/files/.*)", [&body](const httplib::Request &, httplib::Response &res) {
        res.set_content(body, "image/jpeg");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    const QString content = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    qputenv("THEORVANE_CONTENT_URL", content.toUtf8());

    // A fresh network access without a disk cache: every thumbnail crosses the wire.
    QNetworkAccessManager network;
    ThumbnailLoader::shared().setNetworkForTesting(&network);
    QQuickWindow window;
    window.resize(400, 300);
    window.show();
    QElapsedTimer wall;
    wall.start();
    const double cpu = threadCpuMs();
    std::vector<ThumbnailImage *> items;
    for (int i = 0; i < count; ++i) {
        auto *item = new ThumbnailImage(window.contentItem());
        item->setSource(content + QStringLiteral("files/photo-%1.jpg").arg(i));
        items.push_back(item);
    }
    const auto settled = [&] {
        return std::all_of(items.begin(), items.end(),
                           [](ThumbnailImage *i) { return i->status() != ThumbnailImage::Status::Loading; });
    };
    while (!settled() && wall.elapsed() < 120000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (auto *item : items)
        item->setSize(QSizeF(item->implicitWidth(), item->implicitHeight()));
    window.grabWindow();
    const double guiMs = threadCpuMs() - cpu;
    const int ready = int(std::count_if(items.begin(), items.end(),
                                        [](ThumbnailImage *i) { return i->status() == ThumbnailImage::Status::Ready; }));

    // The same bubbles made again (scrolled back into view): served from the decoded-thumbnail cache.
    const double cachedCpu = threadCpuMs();
    std::vector<ThumbnailImage *> again;
    for (int i = 0; i < count; ++i) {
        auto *item = new ThumbnailImage(window.contentItem());
        item->setSource(content + QStringLiteral("files/photo-%1.jpg").arg(i));
        again.push_back(item);
    }
    while (!std::all_of(again.begin(), again.end(), [](ThumbnailImage *i) { return i->status() == ThumbnailImage::Status::Ready; }))
        app.processEvents(QEventLoop::AllEvents, 50);
    for (auto *item : again)
        item->setSize(QSizeF(item->implicitWidth(), item->implicitHeight()));
    window.grabWindow();
    const double cachedMs = threadCpuMs() - cachedCpu;

    std::printf("jpeg_bytes=%lld\n", qlonglong(jpeg.size()));
    std::printf("decode_12mp_ms=%.1f\n", median(scaled));
    std::printf("full_decode_12mp_ms=%.1f\n", median(full));
    std::printf("thumbnails_ready=%d/%d\n", ready, count);
    std::printf("gui_ms_per_thumbnail=%.2f\n", guiMs / count);
    std::printf("wall_ms_all_thumbnails=%lld\n", qlonglong(wall.elapsed()));
    std::printf("gui_ms_per_cached_thumbnail=%.2f\n", cachedMs / count);
    server.stop();
    serving.join();
    return ready == count ? 0 : 1;
}
