#pragma once

// A small test runner: cases register themselves in groups; the runner executes one group (argv[1]) and
// reports each failed check with its file and line.

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace harness {

struct Case {
    std::string group;
    std::string name;
    std::function<void()> body;
};

inline std::vector<Case> &registry()
{
    static std::vector<Case> cases;
    return cases;
}

inline int &failures()
{
    static int count = 0;
    return count;
}

struct Registrar {
    Registrar(const char *group, const char *name, std::function<void()> body)
    {
        registry().push_back({group, name, std::move(body)});
    }
};

// Thrown by REQUIRE to abandon the current case.
struct Abort {};

inline void fail(const char *file, int line, const std::string &what)
{
    ++failures();
    std::cout << "  FAIL " << file << ":" << line << ": " << what << std::endl;
}

template <typename A, typename B>
std::string describe(const A &a, const B &b)
{
    std::ostringstream s;
    s << "got [" << a << "], expected [" << b << "]";
    return s.str();
}

int run(int argc, char **argv);

} // namespace harness

#define HARNESS_CAT2(a, b) a##b
#define HARNESS_CAT(a, b) HARNESS_CAT2(a, b)
#define TEST_CASE(group, name)                                                                                        \
    static void HARNESS_CAT(test_, __LINE__)();                                                                      \
    static harness::Registrar HARNESS_CAT(reg_, __LINE__)(group, name, HARNESS_CAT(test_, __LINE__));               \
    static void HARNESS_CAT(test_, __LINE__)()

#define CHECK(cond)                                                                                                   \
    do {                                                                                                              \
        if (!(cond))                                                                                                  \
            harness::fail(__FILE__, __LINE__, "CHECK(" #cond ")");                                                    \
    } while (0)

#define CHECK_EQ(actual, expected)                                                                                    \
    do {                                                                                                              \
        const auto a_ = (actual);                                                                                    \
        const auto e_ = (expected);                                                                                  \
        if (!(a_ == e_))                                                                                              \
            harness::fail(__FILE__, __LINE__, #actual ": " + harness::describe(a_, e_));                              \
    } while (0)

#define REQUIRE(cond)                                                                                                 \
    do {                                                                                                              \
        if (!(cond)) {                                                                                                \
            harness::fail(__FILE__, __LINE__, "REQUIRE(" #cond ")");                                                  \
            throw harness::Abort{};                                                                                   \
        }                                                                                                             \
    } while (0)
