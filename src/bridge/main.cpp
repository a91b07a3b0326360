#include "Bridge.h"

#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {
// Only a person types these; the agents always pass --source and a payload, so this costs them one compare.
bool answersPerson(int argc, char** argv) {
    if (argc != 2)
        return false;
    const std::string_view flag = argv[1];
    if (flag == "--version") {
        std::fputs("vorlix-bridge " VORLIX_VERSION "\n", stdout);
        return true;
    }
    if (flag != "--help" && flag != "-h")
        return false;
    std::fputs(
        "vorlix-bridge " VORLIX_VERSION ": the hook the coding agents run for each event.\n"
        "It hands the event on standard input to Vorlix Agents over ~/.vorlix-agents/run/vorlix.sock and prints\n"
        "the agent's answer; without the application it prints nothing and exits 0.\n"
        "usage: vorlix-bridge --source claude|codex|grok|kiro < EVENT_JSON\n"
        "Set up by `VorlixAgents install AGENT`; not meant to be run by hand.\n",
        stdout);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (answersPerson(argc, argv))
        return 0;
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
