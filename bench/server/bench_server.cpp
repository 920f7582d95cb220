// Two members' clients polling the reference server as the desktop client does while a chat is open:
// unread count every 5 s, conversations every 5 s, the open chat every 3 s, incoming calls every 2 s.
// Prints request counts, failures and the server's resident memory (from /proc) before and after.
//
//   bench_server --url http://127.0.0.1:PORT --pid SERVER_PID [--seconds 60]
//                [--member EMAIL PASSWORD] [--member EMAIL PASSWORD]
// The members default to the demo sign-ins of anna and boris, who are friends.

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Member {
    std::string email;
    std::string password;
    std::string token;
    std::string id;
};

long residentKiB(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

std::pair<std::string, int> hostPort(const std::string &url)
{
    const std::string rest = url.substr(url.find("//") + 2);
    const auto colon = rest.rfind(':');
    return {rest.substr(0, colon), std::stoi(rest.substr(colon + 1))};
}

} // namespace

int main(int argc, char **argv)
{
    std::string url;
    int pid = 0;
    int seconds = 60;
    std::vector<Member> members;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--url" && i + 1 < argc)
            url = argv[++i];
        else if (arg == "--pid" && i + 1 < argc)
            pid = std::stoi(argv[++i]);
        else if (arg == "--seconds" && i + 1 < argc)
            seconds = std::stoi(argv[++i]);
        else if (arg == "--member" && i + 2 < argc) {
            members.push_back({argv[i + 1], argv[i + 2], {}, {}});
            i += 2;
        } else {
            std::cerr << "usage: bench_server --url URL --pid PID [--seconds N] [--member EMAIL PASSWORD]...\n";
            return 2;
        }
    }
    if (url.empty() || seconds < 1 || seconds > 3600) {
        std::cerr << "bench_server: --url is required and --seconds must be 1..3600\n";
        return 2;
    }
    if (members.empty())
        members = {{"anna@demo.theorvane.example", "demo1234", {}, {}},
                   {"boris@demo.theorvane.example", "demo1234", {}, {}}};
    if (members.size() != 2) {
        std::cerr << "bench_server: give two members or none\n";
        return 2;
    }
    const auto [host, port] = hostPort(url);
    for (auto &m : members) {
        httplib::Client client(host, port);
        const nlohmann::json body{{"action", "login"}, {"email", m.email}, {"password", m.password}};
        auto r = client.Post("/api/mobile/auth", body.dump(), "application/json");
        if (!r || r->status != 200) {
            std::cerr << "bench_server: sign-in failed for " << m.email << "\n";
            return 1;
        }
        const auto j = nlohmann::json::parse(r->body);
        m.token = j["token"];
        m.id = j["user"]["id"];
    }

    const long before = pid ? residentKiB(pid) : -1;
    std::atomic<long> requests{0}, failures{0};
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);

    auto simulate = [&](const Member &me, const Member &peer) {
        httplib::Client client(host, port);
        client.set_keep_alive(true);
        const httplib::Headers auth{{"Authorization", "Bearer " + me.token}};
        struct Poll {
            std::string path;
            std::chrono::milliseconds every;
            std::chrono::steady_clock::time_point due;
        };
        std::vector<Poll> polls{
            {"/api/mobile/notifications?limit=1", std::chrono::milliseconds(5000), start},
            {"/api/mobile/conversations", std::chrono::milliseconds(5000), start},
            {"/api/mobile/messages?participantId=" + peer.id, std::chrono::milliseconds(3000), start},
            {"/api/mobile/calls", std::chrono::milliseconds(2000), start},
        };
        for (;;) {
            auto next = polls[0].due;
            for (const auto &p : polls)
                next = std::min(next, p.due);
            if (next >= end)
                break;
            std::this_thread::sleep_until(next);
            for (auto &p : polls) {
                if (p.due > std::chrono::steady_clock::now())
                    continue;
                auto r = client.Get(p.path, auth);
                ++requests;
                if (!r || r->status != 200)
                    ++failures;
                p.due += p.every;
            }
        }
    };
    std::thread a(simulate, std::cref(members[0]), std::cref(members[1]));
    std::thread b(simulate, std::cref(members[1]), std::cref(members[0]));
    a.join();
    b.join();
    const long after = pid ? residentKiB(pid) : -1;

    std::cout << "clients: 2, seconds: " << seconds << ", requests: " << requests << ", failures: " << failures
              << "\n";
    if (pid)
        std::cout << "server resident memory: " << before << " KiB before, " << after << " KiB after\n";
    return failures == 0 ? 0 : 1;
}
