// The socket server as it runs in the application: optimised, without sanitizers, on connection threads with
// their real, small stacks.

#include "Decision.h"
#include "Event.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "UnixSocket.h"
#include "hookserver/Server.h"
#include "sessions/SessionStore.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A gating event whose tool input nests objects so that the whole line is `depth` levels deep.
std::string eventLine(int depth) {
    std::string input;
    for (int i = 1; i < depth; ++i)
        input += R"({"k":)";
    input += '1';
    input.append(static_cast<std::size_t>(depth - 1), '}');
    std::string line = panelEvent("s1", Vorlix::Canonical::permissionRequest, "", "").toLine();
    line.insert(1, R"("toolInput":)" + input + ",");
    return line;
}

// Tasks for the main thread are dropped on the connection thread: the event's copy dies there too.
Server::Post dropTasks() {
    return [](std::function<void()>) {};
}

} // namespace

TEST(ServerStack, DeepestEventIsAnsweredAndDeeperOneRefused) {
    TempHome home;
    const std::string path = home.path() + "/vorlix.sock";
    Server server(nullptr, 0.05, dropTasks(), path);
    server.start();
    const std::vector<std::pair<int, bool>> cases = {{JSONValue::maxDepth + 1, false}, {JSONValue::maxDepth, true}};
    for (const auto& [depth, answered] : cases) {
        SCOPED_TRACE(depth);
        ASSERT_EQ(Vorlix::Event::fromLine(eventLine(depth)).has_value(), answered);
        const int fd = UnixSocket::connect(path);
        UnixSocket::writeLine(fd, eventLine(depth));
        const std::optional<std::string> reply = UnixSocket::readLine(fd);
        ::close(fd);
        ASSERT_EQ(reply.has_value(), answered);
        if (answered) {
            EXPECT_EQ(Vorlix::Decision::fromLine(*reply)->behavior, Vorlix::Behavior::deny);
        }
    }
    EXPECT_EQ(::access(path.c_str(), F_OK), 0);
}
