// theorvane-server: a small real backend of the TheOrvane Teams JSON API, for the demo and end-to-end tests.

#include "Accounts.h"
#include "Database.h"
#include "DemoData.h"
#include "Service.h"
#include "Util.h"

#include <httplib.h>
#include <sodium.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char *const kUsage =
    "usage: theorvane-server [--host ADDRESS] [--port N] [--data DIR] [--demo] [--ring-timeout SECONDS]\n"
    "                        [--tls-cert FILE --tls-key FILE]\n"
    "       theorvane-server [--data DIR] [--unverified] --add-member EMAIL PASSWORD NAME\n"
    "       theorvane-server [--data DIR] --befriend EMAIL1 EMAIL2\n"
    "\n"
    "  --host ADDRESS          address to listen on (default 127.0.0.1)\n"
    "  --port N                port to listen on; 0 picks a free one (default 8080)\n"
    "  --data DIR              folder of the database and stored files (default ./theorvane-data)\n"
    "  --demo                  seed demo members, friendships and messages (once per data folder)\n"
    "  --ring-timeout SECONDS  how long a call rings before it counts as missed (default 45)\n"
    "  --call-idle-timeout S   an active call nobody polls for S seconds is ended (default 60)\n"
    "  --threads N             request threads (default 32)\n"
    "  --tls-cert FILE         serve HTTPS with this PEM certificate (chain)\n"
    "  --tls-key FILE          the certificate's PEM private key\n"
    "  --log-requests          print one line per request: method, path, status\n"
    "  --add-member ...        add a member to the data folder and exit\n"
    "  --unverified            with --add-member: the member's e-mail is not verified yet\n"
    "  --befriend ...          make two members friends and exit\n";

struct Options {
    std::string host = "127.0.0.1";
    int port = 8080;
    fs::path data = "theorvane-data";
    bool demo = false;
    double ringTimeout = 45.0;
    double callIdleTimeout = 60.0;
    int threads = 32;
    bool logRequests = false;
    std::string tlsCert;
    std::string tlsKey;
    bool unverified = false;
    std::vector<std::string> addMember;
    std::vector<std::string> befriend;
};

[[noreturn]] void usageError(const std::string &message)
{
    std::cerr << "theorvane-server: " << message << "\n\n" << kUsage;
    std::exit(2);
}

Options parse(int argc, char **argv)
{
    Options o;
    auto value = [&](int &i) -> std::string {
        if (i + 1 >= argc)
            usageError(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    auto number = [&](int &i, double min, double max) -> double {
        const std::string name = argv[i];
        const std::string text = value(i);
        try {
            size_t used = 0;
            const double v = std::stod(text, &used);
            if (used != text.size() || !(v >= min && v <= max))
                throw std::invalid_argument(text);
            return v;
        } catch (const std::exception &) {
            usageError(name + " expects a number from " + std::to_string(static_cast<long long>(min)) + " to "
                       + std::to_string(static_cast<long long>(max)));
        }
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--host") {
            o.host = value(i);
        } else if (arg == "--port") {
            const double p = number(i, 0, 65535);
            if (p != static_cast<int>(p))
                usageError("--port expects a whole number");
            o.port = static_cast<int>(p);
        } else if (arg == "--data") {
            o.data = value(i);
        } else if (arg == "--demo") {
            o.demo = true;
        } else if (arg == "--ring-timeout") {
            o.ringTimeout = number(i, 0.05, 86400);
        } else if (arg == "--call-idle-timeout") {
            o.callIdleTimeout = number(i, 0.05, 86400);
        } else if (arg == "--threads") {
            o.threads = static_cast<int>(number(i, 2, 512));
        } else if (arg == "--tls-cert") {
            o.tlsCert = value(i);
        } else if (arg == "--tls-key") {
            o.tlsKey = value(i);
        } else if (arg == "--log-requests") {
            o.logRequests = true;
        } else if (arg == "--unverified") {
            o.unverified = true;
        } else if (arg == "--add-member") {
            for (int k = 0; k < 3; ++k)
                o.addMember.push_back(value(i));
        } else if (arg == "--befriend") {
            for (int k = 0; k < 2; ++k)
                o.befriend.push_back(value(i));
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else {
            usageError("unknown option " + arg);
        }
    }
    if (o.tlsCert.empty() != o.tlsKey.empty())
        usageError("--tls-cert and --tls-key go together");
    return o;
}

int addMember(Database &db, const std::vector<std::string> &args, bool verified)
{
    const std::string &email = args[0], &password = args[1], &fullName = args[2];
    const auto at = email.find('@');
    if (at == std::string::npos || at == 0 || at + 1 >= email.size() || email.size() > 254
        || !util::isValidUtf8(email)) {
        std::cerr << "theorvane-server: not an e-mail address: " << email << "\n";
        return 1;
    }
    if (password.empty() || fullName.empty() || !util::isValidUtf8(fullName)) {
        std::cerr << "theorvane-server: password and name must not be empty\n";
        return 1;
    }
    {
        auto guard = db.lock();
        if (accounts::findByEmail(db, email)) {
            std::cerr << "theorvane-server: a member with the e-mail " << email << " already exists\n";
            return 1;
        }
    }
    Member m;
    m.email = email;
    m.emailVerified = verified;
    const auto space = fullName.find(' ');
    m.name = fullName.substr(0, space);
    if (space != std::string::npos && space + 1 < fullName.size())
        m.lastName = fullName.substr(space + 1);
    const std::string hash = accounts::hashPassword(password);
    auto guard = db.lock();
    const Member created = accounts::create(db, m, hash);
    std::cout << "added member " << created.email << " (id " << created.id << ")" << std::endl;
    return 0;
}

int befriend(Database &db, const std::vector<std::string> &args)
{
    auto guard = db.lock();
    auto a = accounts::findByEmail(db, args[0]);
    auto b = accounts::findByEmail(db, args[1]);
    for (const auto *which : {&a, &b}) {
        if (!*which) {
            std::cerr << "theorvane-server: no member with the e-mail " << (which == &a ? args[0] : args[1]) << "\n";
            return 1;
        }
    }
    if (a->id == b->id) {
        std::cerr << "theorvane-server: a member cannot befriend themselves\n";
        return 1;
    }
    accounts::setFriendship(db, a->id, b->id, true);
    std::cout << a->email << " and " << b->email << " are friends" << std::endl;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parse(argc, argv);
    if (sodium_init() < 0) {
        std::cerr << "theorvane-server: libsodium failed to initialise\n";
        return 1;
    }

    // SIGINT and SIGTERM are taken by one thread with sigwait; every other thread inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::error_code ec;
    fs::create_directories(options.data / "files", ec);
    fs::create_directories(options.data / "avatars", ec);
    if (ec) {
        std::cerr << "theorvane-server: cannot create " << options.data << ": " << ec.message() << "\n";
        return 1;
    }

    std::unique_ptr<Database> db;
    try {
        db = std::make_unique<Database>((options.data / "theorvane.sqlite3").string());
    } catch (const std::exception &e) {
        std::cerr << "theorvane-server: " << e.what() << "\n";
        return 1;
    }

    if (!options.addMember.empty())
        return addMember(*db, options.addMember, !options.unverified);
    if (!options.befriend.empty())
        return befriend(*db, options.befriend);

    std::vector<DemoSignIn> signIns;
    if (options.demo)
        signIns = seedDemoData(*db, options.data);

    {
        // Calls cannot outlive the process that signalled them.
        auto guard = db->lock();
        db->exec("UPDATE calls SET status = 'ended' WHERE status IN ('ringing', 'active')");
    }

    ServiceConfig config;
    config.dataDir = options.data;
    config.ringTimeoutSeconds = options.ringTimeout;
    config.idleCallTimeoutSeconds = options.callIdleTimeout;
    Service service(config, *db);

    const bool tls = !options.tlsCert.empty();
    std::unique_ptr<httplib::Server> serverPtr;
    if (tls) {
        auto ssl = std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(), options.tlsKey.c_str());
        if (!ssl->is_valid()) {
            std::cerr << "theorvane-server: cannot use the certificate " << options.tlsCert << " with the key "
                      << options.tlsKey << " (unreadable, not PEM, or not a pair)\n";
            return 1;
        }
        serverPtr = std::move(ssl);
    } else {
        serverPtr = std::make_unique<httplib::Server>();
    }
    httplib::Server &server = *serverPtr;
    const int threads = options.threads;
    // Keep-alive connections hold a thread each while idle, so a few polling clients need more than the default.
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    // Headers and body go out in two writes; without this, Nagle and delayed ACKs add 40 ms to every answer.
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(5);
    service.install(server);
    if (options.logRequests) {
        // The query is left out: it is not needed to follow the traffic, and the path never carries a token.
        server.set_logger([](const httplib::Request &req, const httplib::Response &res) {
            std::cout << (req.method + " " + req.path + " " + std::to_string(res.status) + "\n") << std::flush;
        });
    }

    const int port = options.port == 0 ? server.bind_to_any_port(options.host)
                                       : (server.bind_to_port(options.host, options.port) ? options.port : -1);
    if (port <= 0) {
        std::cerr << "theorvane-server: cannot listen on " << options.host << ":" << options.port << "\n";
        return 1;
    }
    const std::string hostForUrl = options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host;
    const std::string base = (tls ? "https://" : "http://") + hostForUrl + ":" + std::to_string(port);
    service.setPublicBase(base);

    std::cout << "theorvane-server: data folder " << fs::absolute(options.data).string() << "\n";
    std::cout << "THEORVANE_SERVER_URL=" << base << "\n";
    std::cout << "THEORVANE_CONTENT_URL=" << service.contentBase() << "\n";
    std::cout << "API base: " << base << "/api/mobile\n";
    for (const auto &s : signIns)
        std::cout << "demo sign-in: " << s.email << " / " << s.password << " (" << s.name << ")\n";
    std::cout << "listening on " << base << std::endl;

    std::thread signalThread([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::cout << "theorvane-server: " << (signal == SIGINT ? "SIGINT" : "SIGTERM") << ", stopping" << std::endl;
        server.stop();
    });

    const bool ok = server.listen_after_bind();
    // listen_after_bind returns once stop() was called and every running request has finished.
    if (!ok && server.is_running())
        server.stop();
    if (signalThread.joinable()) {
        if (!ok)
            pthread_kill(signalThread.native_handle(), SIGTERM);
        signalThread.join();
    }
    db->close();
    std::cout << "theorvane-server: stopped" << std::endl;
    return ok ? 0 : 1;
}
