#pragma once

#include "Database.h"

#include <filesystem>
#include <string>
#include <vector>

struct DemoSignIn {
    std::string email;
    std::string password;
    std::string name;
};

// Seeds demo members, avatars, friendships in every state and a few hundred messages. Safe to run again on the
// same data folder: members are matched by e-mail and the history is written only once.
std::vector<DemoSignIn> seedDemoData(Database &db, const std::filesystem::path &dataDir);
