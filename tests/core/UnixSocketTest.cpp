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

struct Pair {
    int a = -1, b = -1;
    Pair() {
        int fds[2];
        socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        a = fds[0];
        b = fds[1];
    }
    ~Pair() {
        if (a >= 0)
            close(a);
        if (b >= 0)
            close(b);
    }
};
} // namespace

TEST(UnixSocket, PathLimitCountsBytesNotCharacters) {
    TempHome home;
    const std::string ok = pathOfBytes(home.path(), 103);
    ASSERT_EQ(ok.size(), 103u);
    const int fd = UnixSocket::listen(ok, 4);
    close(UnixSocket::connect(ok));
    close(fd);
    EXPECT_THROW(UnixSocket::listen(pathOfBytes(home.path(), 104), 4), UnixSocket::Error);
}

TEST(UnixSocket, ListenMakesAPrivateSocketAndTakesThePathOver) {
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
    // A second listener takes the path over from a live one.
    const int second = UnixSocket::listen(path, 4);
    const int client = UnixSocket::connect(path);
    UnixSocket::writeLine(client, "hello");
    const int accepted = accept(second, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    EXPECT_EQ(UnixSocket::readLine(accepted), "hello");
    for (int fd : {accepted, client, second, first})
        close(fd);
}

// Every failure is typed and says what went wrong in words.
TEST(UnixSocket, ErrorsCarryTheirKindAndWords) {
    TempHome home;
    const std::string stale = home.path() + "/stale.sock";
    close(UnixSocket::listen(stale, 4)); // the file stays behind, nobody listens
    const std::string folder = home.path() + "/dir.sock";
    mkdir(folder.c_str(), 0700); // cannot be unlinked away, so bind fails
    using Kind = UnixSocket::Error::Kind;
    const std::tuple<std::function<void()>, Kind, int, std::string> cases[] = {
        {[&] { UnixSocket::connect(pathOfBytes(home.path(), 104)); }, Kind::pathTooLong, 0, "socket path too long"},
        {[&] { UnixSocket::connect(stale); }, Kind::connectFailed, ECONNREFUSED, "connect failed: Connection refused"},
        {[&] { UnixSocket::connect(home.path() + "/none.sock"); }, Kind::connectFailed, ENOENT,
         "connect failed: No such file or directory"},
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

TEST(UnixSocket, ReadLineFraming) {
    {
        Pair p;
        close(p.b);
        p.b = -1;
        EXPECT_EQ(UnixSocket::readLine(p.a), std::nullopt);
    }
    {
        Pair p;
        ASSERT_EQ(write(p.b, "abc", 3), 3);
        close(p.b);
        p.b = -1;
        EXPECT_EQ(UnixSocket::readLine(p.a), "abc");
        EXPECT_EQ(UnixSocket::readLine(p.a), std::nullopt);
    }
    {
        Pair p;
        UnixSocket::writeLine(p.b, "");
        EXPECT_EQ(UnixSocket::readLine(p.a), "");
    }
    {
        // Back to back in one write: the first read must not swallow the second line.
        Pair p;
        const std::string both = "one\r\ntwo\n";
        ASSERT_EQ(write(p.b, both.data(), both.size()), static_cast<ssize_t>(both.size()));
        EXPECT_EQ(UnixSocket::readLine(p.a), "one\r");
        EXPECT_EQ(UnixSocket::readLine(p.a), "two");
    }
    {
        // A line far longer than one peeked chunk, arriving in pieces.
        Pair p;
        const std::string big(200000, 'x');
        std::thread writer([&] { UnixSocket::writeLine(p.b, big); });
        EXPECT_EQ(UnixSocket::readLine(p.a), big);
        writer.join();
    }
}

TEST(UnixSocket, ReadLineOnPipesToo) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x\ny\n", 4), 4);
    close(fds[1]);
    EXPECT_EQ(UnixSocket::readLine(fds[0]), "x");
    EXPECT_EQ(UnixSocket::readLine(fds[0]), "y");
    close(fds[0]);
}

TEST(UnixSocket, WriteToAGonePeerThrowsClosedWithoutSignal) {
    Pair p;
    close(p.a);
    p.a = -1;
    try {
        // Several writes: the first may still land in the buffer of a just-closed peer.
        for (int i = 0; i < 10; ++i)
            UnixSocket::writeLine(p.b, std::string(65536, 'x'));
        FAIL();
    } catch (const UnixSocket::Error& e) {
        EXPECT_EQ(e.kind(), UnixSocket::Error::Kind::closed);
        EXPECT_EQ(e.text(), "connection closed");
    }
}
