#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

/// Runs the real vorlix-bridge (or any program, looked up on PATH) as a child: stdin fed, stdout and stderr captured.
class BridgeProcess {
public:
    struct Result {
        int exitStatus = -1; // -1 when killed by a signal or the time limit
        std::string out, err;
        bool timedOut = false;
    };

    /// Environment changes on top of the test's own, from which the agent and terminal variables the bridge reads
    /// (GROK_*, TMUX*, TERM_PROGRAM, …) are removed first; a value of nullopt unsets the variable.
    using EnvChanges = std::map<std::string, std::optional<std::string>>;

    static Result run(const std::vector<std::string>& arguments, const std::string& input, const EnvChanges& env = {},
                      int timeoutMs = 15000);
    /// The bridge with "--source" and the agent's name.
    static Result bridge(const std::string& source, const std::string& input, const EnvChanges& env = {},
                         int timeoutMs = 15000);

    /// Starts without waiting; finish() collects the result. For tests that need many bridges at once.
    static int start(const std::vector<std::string>& arguments, const std::string& input, const EnvChanges& env,
                     struct Running& running);
};

/// A child started by BridgeProcess::start.
struct Running {
    int pid = -1, outFD = -1, errFD = -1;
    BridgeProcess::Result finish(int timeoutMs = 15000);
    /// Appends what the child writes on stderr to log until log holds text; false on time-out or end of stream.
    bool readErrUntil(std::string& log, const std::string& text, int timeoutMs = 30000);
    void kill();
};

/// Reads a fixture of real agent payloads (tests/fixtures/agents/...).
std::string readFixture(const std::string& relative);
