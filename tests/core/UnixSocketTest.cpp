#include "UnixSocket.h"
#include "TempHome.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// A path of exactly n bytes under the temporary home, using a multi-byte character in the name.
std::string pathOfBytes(const std::string& base, std::size_t n) {
    std::string path = base + "/é"; // é is two bytes
    while (path.size() < n)
        path += 'x';
    return path.substr(0, n);
}

} // namespace

TEST(UnixSocket, ListenMakesAPrivateSocket) {
    TempHome home;
    const mode_t old = umask(0);
    const std::string path = home.path() + "/a/b/s.sock";
    const int first = UnixSocket::listen(path, 4);
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((home.path() + "/a/b").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    close(first);
}

// Every failure is typed and says what went wrong in words. The path limit counts bytes, not characters.
TEST(UnixSocket, ErrorsCarryTheirKindAndWords) {
    TempHome home;
    const std::string longest = pathOfBytes(home.path(), 103);
    const int listener = UnixSocket::listen(longest, 4);
    close(UnixSocket::connect(longest));
    close(listener);
    const std::string stale = home.path() + "/stale.sock";
    close(UnixSocket::listen(stale, 4)); // the file stays behind, nobody listens
    const std::string folder = home.path() + "/dir.sock";
    mkdir(folder.c_str(), 0700); // cannot be unlinked away, so bind fails
    using Kind = UnixSocket::Error::Kind;
    const std::tuple<std::function<void()>, Kind, int, std::string> cases[] = {
        {[&] { UnixSocket::connect(pathOfBytes(home.path(), 104)); }, Kind::pathTooLong, 0, "socket path too long"},
        {[&] { UnixSocket::connect(stale); }, Kind::connectFailed, ECONNREFUSED, "connect failed: Connection refused"},
        {[&] { UnixSocket::listen(folder, 4); }, Kind::bindFailed, EADDRINUSE, "bind failed: Address already in use"},
    };
    for (const auto& [call, kind, err, text] : cases) {
        try {
            call();
            ADD_FAILURE() << text;
        } catch (const UnixSocket::Error& e) {
            EXPECT_EQ(e.kind(), kind) << text;
            EXPECT_EQ(e.err(), err) << text;
            EXPECT_EQ(e.text(), text);
        }
    }
}

// The same framing over a socket and over a pipe: bytes written, then the writer closes.
TEST(UnixSocket, ReadLineFraming) {
    using Lines = std::vector<std::optional<std::string>>;
    const std::pair<std::string, Lines> cases[] = {
        {"", {std::nullopt}},
        {"abc", {"abc", std::nullopt}},
        {"\n", {"", std::nullopt}},
        // Back to back in one write: the first read must not swallow the second line.
        {"one\r\ntwo\n", {"one\r", "two", std::nullopt}},
    };
    for (bool socket : {true, false}) {
        for (const auto& [bytes, lines] : cases) {
            int fds[2];
            ASSERT_EQ(socket ? socketpair(AF_UNIX, SOCK_STREAM, 0, fds) : pipe(fds), 0);
            ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
            close(fds[1]);
            for (const auto& line : lines)
                EXPECT_EQ(UnixSocket::readLine(fds[0]), line) << (socket ? "socket " : "pipe ") << bytes;
            close(fds[0]);
        }
    }
    // A cap on the line's length, its newline not counted: reached is fine, passed throws.
    for (const std::string bytes : {"abcde\n", "abcdef\n"}) {
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        ASSERT_EQ(write(pair[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        try {
            EXPECT_EQ(UnixSocket::readLine(pair[0], 5), bytes.substr(0, 5));
            EXPECT_EQ(bytes.size(), 6u);
        } catch (const UnixSocket::Error& e) {
            EXPECT_EQ(e.kind(), UnixSocket::Error::Kind::lineTooLong);
            EXPECT_EQ(bytes.size(), 7u);
        }
        close(pair[0]);
        close(pair[1]);
    }
    // A line far longer than one peeked chunk, arriving in pieces.
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string big(200000, 'x');
    std::thread writer([&] { UnixSocket::writeLine(fds[1], big); });
    EXPECT_EQ(UnixSocket::readLine(fds[0]), big);
    writer.join();
    for (int fd : fds)
        close(fd);
}

TEST(UnixSocket, WriteToAGonePeerThrowsClosedWithoutSignal) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    close(fds[0]);
    try {
        // Several writes: the first may still land in the buffer of a just-closed peer.
        for (int i = 0; i < 10; ++i)
            UnixSocket::writeLine(fds[1], std::string(65536, 'x'));
        FAIL();
    } catch (const UnixSocket::Error& e) {
        EXPECT_EQ(e.kind(), UnixSocket::Error::Kind::closed);
    }
    close(fds[1]);
}
