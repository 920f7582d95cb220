#pragma once

#include "ServerProcess.h"

#include <optional>

// Three members in a fresh data folder: Alice is friends with Bob and with Carol; Bob and Carol are not friends.
struct ThreeMembers {
    TempDir dir;
    std::optional<ServerProcess> server;
    std::optional<Api> api;
    std::string alice, bob, carol;         // tokens
    std::string aliceId, bobId, carolId;   // account identifiers

    explicit ThreeMembers(std::vector<std::string> serverArgs = {});
};
