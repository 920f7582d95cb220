// Start-up and memory of the client against a bare Qt Quick window, each launched as a fresh process.
//
//   scripts/with-test-env build/default/bench/startup/bench_startup \
//       build/default/src/app/theorvane-teams build/default/bench/startup/bench_bare_window [runs]
//
// first_frame_ms: median wall time from launch to the client's first frame (no stored token, so the
// login screen). rss_signed_in_mb: resident memory of the client a few seconds after a start with a
// stored token of a demo member on the reference server, that is with the signed-in window up.
// signed_in_first_frame_ms: median wall time from launch to the first frame of that signed-in window
// (token check against the reference server on 127.0.0.1 included). idle_cpu_percent: the share of one
// core that signed-in window uses over the 30 s after it settled, polling as it does when nobody
// touches it.
#include "AuthManager.h"
#include "ReferenceServer.h"
#include "TokenStore.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <unistd.h>
#include <cstdio>
#include <vector>

namespace {

double launchToFirstFrameMs(const QString &program, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    p.start(program, {});
    if (!p.waitForStarted(10000))
        return -1;
    QByteArray out;
    while (!out.contains("first_frame")) {
        if (!p.waitForReadyRead(20000))
            break;
        out += p.readAllStandardOutput();
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    p.kill();
    p.waitForFinished(5000);
    return out.contains("first_frame") ? ms : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

double rssMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(status.readAll());
    const auto m = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB")).match(text);
    return m.hasMatch() ? m.captured(1).toDouble() / 1024.0 : -1;
}

// CPU time the process has used so far, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which may hold spaces, start after its closing parenthesis.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct Settled {
    double rssMb = -1;
    double idleCpuPercent = -1;
};

// Launches a program, lets it settle, reads its resident memory, then the share of one core it uses
// over the next idleMs (0: not measured).
Settled settle(const QString &program, const QProcessEnvironment &env, int settleMs, int idleMs = 0)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, {});
    if (!p.waitForStarted(10000))
        return {};
    QThread::msleep(settleMs);
    p.readAllStandardOutput();
    Settled result;
    result.rssMb = rssMb(p.processId());
    if (idleMs > 0) {
        const double before = cpuSeconds(p.processId());
        QThread::msleep(idleMs);
        p.readAllStandardOutput();
        result.idleCpuPercent = (cpuSeconds(p.processId()) - before) * 100000.0 / idleMs;
    }
    p.kill();
    p.waitForFinished(5000);
    return result;
}

QCoro::Task<> signIn(QString email, QString password, bool *ok, bool *done)
{
    *ok = co_await AuthManager::shared().loginAsync(email, password);
    *done = true;
}

// Signs a demo member in through the client's own session code, so the keyring holds a token that
// the next client start finds; true once the token is readable from the keyring.
bool storeDemoToken(const ReferenceServer &server)
{
    const auto signIns = server.demoSignIns();
    if (signIns.isEmpty())
        return false;
    bool done = false, ok = false;
    signIn(signIns.first().email, signIns.first().password, &ok, &done);
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    while (ok && timer.elapsed() < 20000) {
        TokenStore probe;
        bool loaded = false;
        QObject::connect(&probe, &TokenStore::loaded, [&] { loaded = true; });
        probe.load();
        while (!loaded && timer.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        if (probe.token())
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TheOrvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Teams"));
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_startup <theorvane-teams> <bare-window> [runs]\n");
        return 2;
    }
    const QString client = args.at(1), bare = args.at(2);
    const int runs = args.size() > 3 ? args.at(3).toInt() : 7;

    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("THEORVANE_EXIT_AFTER_FIRST_FRAME"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());

    // Warm the page cache once so both sides start equally warm.
    launchToFirstFrameMs(bare, env);
    launchToFirstFrameMs(client, env);

    std::vector<double> clientMs, bareMs;
    for (int i = 0; i < runs; ++i) {
        bareMs.push_back(launchToFirstFrameMs(bare, env));
        clientMs.push_back(launchToFirstFrameMs(client, env));
    }
    std::printf("first_frame_ms=%.1f\n", median(clientMs));
    std::printf("bare_first_frame_ms=%.1f\n", median(bareMs));

    QProcessEnvironment settleEnv = QProcessEnvironment::systemEnvironment();
    settleEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    std::printf("bare_rss_mb=%.1f\n", settle(bare, settleEnv, 3000).rssMb);

    ReferenceServer server;
    QTemporaryDir signedInConfig; // fresh preferences: nothing there says "signed out"
    settleEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), signedInConfig.path());
    if (server.start() && storeDemoToken(server)) {
        settleEnv.insert(QStringLiteral("THEORVANE_SERVER_URL"), server.serverUrl());
        settleEnv.insert(QStringLiteral("THEORVANE_CONTENT_URL"), server.contentUrl());
        const Settled signedIn = settle(client, settleEnv, 5000, 30000);
        std::printf("rss_signed_in_mb=%.1f\n", signedIn.rssMb);
        std::printf("idle_cpu_percent=%.2f\n", signedIn.idleCpuPercent);
        settleEnv.insert(QStringLiteral("THEORVANE_EXIT_AFTER_FIRST_FRAME"), QStringLiteral("signed-in"));
        std::vector<double> signedInMs;
        for (int i = 0; i < runs; ++i)
            signedInMs.push_back(launchToFirstFrameMs(client, settleEnv));
        std::printf("signed_in_first_frame_ms=%.1f\n", median(signedInMs));
    } else {
        std::fprintf(stderr, "bench_startup: no signed-in measurement (%s)\n", qPrintable(server.error()));
    }
    std::fflush(stdout);
    return 0;
}
