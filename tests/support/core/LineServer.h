#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

/// A stand-in for the application on the real socket: accepts connections on a thread, reads one line from
/// each and answers with whatever the responder returns (nothing: close without a reply).
class LineServer {
public:
    using Responder = std::function<std::optional<std::string>(const std::string& line)>;

    LineServer(const std::string& path, Responder responder);
    ~LineServer();

    /// Lines received so far, in order.
    std::vector<std::string> lines();
    /// Waits until n lines have arrived; false on time-out.
    bool waitForLines(std::size_t n, int timeoutMs = 10000);

private:
    void loop();

    std::string m_path;
    Responder m_responder;
    int m_listenFD = -1;
    int m_wakeFD = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};
