#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <sys/un.h>

/// Thin layer over local stream sockets: listen, connect, and one newline-terminated line each way.
namespace UnixSocket {

/// The one error of this layer; thrown by every operation that fails.
class Error : public std::exception {
public:
    enum class Kind { socketFailed, connectFailed, bindFailed, listenFailed, pathTooLong, closed, lineTooLong };

    Error(Kind kind, int err = 0);
    Kind kind() const { return m_kind; }
    int err() const { return m_errno; }
    /// In words, with the system's words for the errno where there is one: "bind failed: Permission denied".
    const std::string& text() const { return m_text; }
    const char* what() const noexcept override { return m_text.c_str(); }

private:
    Kind m_kind;
    int m_errno;
    std::string m_text;
};

/// The longest path, in bytes of UTF-8, that fits the socket address.
inline constexpr std::size_t maxPathBytes = 103;
/// The longest request line the application reads (an event with a large tool input stays far below).
inline constexpr std::size_t maxRequestBytes = std::size_t(64) << 20;
/// The longest reply line the bridge reads (a decision is a few hundred bytes).
inline constexpr std::size_t maxReplyBytes = std::size_t(1) << 20;

sockaddr_un makeAddr(std::string_view path);
int connect(std::string_view path);
int listen(std::string_view path, int backlog);
/// Writes data and a newline; never raises SIGPIPE.
void writeLine(int fd, std::string_view data);
/// One line without its newline; absent at end of stream before any byte. Never consumes past the newline.
/// A line longer than maxBytes throws lineTooLong as soon as that is known: memory stays within the cap.
std::optional<std::string> readLine(int fd, std::size_t maxBytes = SIZE_MAX);

} // namespace UnixSocket
