#include "Bridge.h"

#include <csignal>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    // A reader that went away must never kill the hook with a signal the agent would report.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        std::vector<std::string_view> arguments(argv, argv + argc);
        return Bridge::run(arguments);
    } catch (...) {
        // Fail open: the agent behaves as if the hook gave no answer.
        return 0;
    }
}
