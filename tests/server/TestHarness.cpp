#include "TestHarness.h"

#include <exception>

namespace harness {

int run(int argc, char **argv)
{
    const std::string group = argc > 1 ? argv[1] : "";
    int passed = 0, failed = 0;
    for (const auto &c : registry()) {
        if (!group.empty() && c.group != group)
            continue;
        std::cout << "[" << c.group << "] " << c.name << std::endl;
        const int before = failures();
        try {
            c.body();
        } catch (const Abort &) {
        } catch (const std::exception &e) {
            fail(__FILE__, __LINE__, std::string("exception: ") + e.what());
        }
        if (failures() == before)
            ++passed;
        else
            ++failed;
    }
    std::cout << passed << " passed, " << failed << " failed" << std::endl;
    if (passed + failed == 0) {
        std::cout << "no test case in group " << group << std::endl;
        return 1;
    }
    return failed == 0 ? 0 : 1;
}

} // namespace harness

