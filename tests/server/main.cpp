#include "Fixture.h"
#include "TestHarness.h"

#include <csignal>
#include <stdexcept>

ThreeMembers::ThreeMembers(std::vector<std::string> serverArgs)
{
    const std::string data = dir.path().string();
    const char *members[][3] = {
        {"alice@example.test", "alice-password", "Alice Adams"},
        {"bob@example.test", "bob-password", "Боб Браун"},
        {"carol@example.test", "carol-password", "Carol"},
    };
    for (const auto &m : members) {
        if (runServerCommand({"--data", data, "--add-member", m[0], m[1], m[2]}).exitCode != 0)
            throw std::runtime_error(std::string("could not add ") + m[0]);
    }
    for (const char *other : {"bob@example.test", "carol@example.test"}) {
        if (runServerCommand({"--data", data, "--befriend", "alice@example.test", other}).exitCode != 0)
            throw std::runtime_error("could not befriend");
    }
    server.emplace(dir.path(), std::move(serverArgs));
    api.emplace(server->port());
    alice = api->login("alice@example.test", "alice-password");
    bob = api->login("bob@example.test", "bob-password");
    carol = api->login("carol@example.test", "carol-password");
    if (alice.empty() || bob.empty() || carol.empty())
        throw std::runtime_error("sign-in failed");
    aliceId = api->me(alice)["id"];
    bobId = api->me(bob)["id"];
    carolId = api->me(carol)["id"];
}

// Usage: theorvane_server_tests SERVER_BINARY [GROUP]
int main(int argc, char **argv)
{
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " SERVER_BINARY [GROUP]\n";
        return 2;
    }
    serverBinary() = argv[1];
    // A server that refuses a body early closes the socket while the client may still be writing.
    signal(SIGPIPE, SIG_IGN);
    return harness::run(argc - 1, argv + 1);
}
