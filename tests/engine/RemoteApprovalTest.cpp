#include "RemoteApproval.h"
#include "EventLoop.h"
#include "GateBox.h"
#include "PhoneHttp.h"
#include "PhonePage.h"
#include "QrCode.h"
#include "SessionStore.h"
#include "TempHome.h"

#include <QElapsedTimer>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <gtest/gtest.h>

using Vorlix::Behavior;

namespace {

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::Any, 0))
        return 0;
    return probe.serverPort();
}

/// A client connection on the test's own event loop (the server shares it).
class Client {
public:
    explicit Client(quint16 port) {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        waitUntil([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes) {
        m_socket.write(bytes);
        m_socket.flush();
    }
    /// Everything the server sends until it closes the connection.
    QByteArray readToClose(int timeoutMs = 10000) {
        waitUntil([&] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
        m_received += m_socket.readAll();
        return m_received;
    }
    /// What arrived in the given time, without waiting for the close.
    QByteArray readFor(int ms) {
        QElapsedTimer timer;
        timer.start();
        waitUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
        m_received += m_socket.readAll();
        return m_received;
    }
    bool closedByServer() const { return m_socket.state() == QAbstractSocket::UnconnectedState; }
    void close() { m_socket.abort(); }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

QByteArray exchange(quint16 port, const QByteArray& request) {
    Client client(port);
    client.send(request);
    return client.readToClose();
}

QByteArray get(quint16 port, const QString& target) {
    return exchange(port, "GET " + target.toUtf8() + " HTTP/1.1\r\nHost: phone\r\n\r\n");
}

QByteArray post(quint16 port, const QString& target) {
    return exchange(port, "POST " + target.toUtf8() + " HTTP/1.1\r\nHost: phone\r\nContent-Length: 0\r\n\r\n");
}

QByteArray plainResponse(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
}

const QByteArray unauthorized = plainResponse("401 Unauthorized", "no");
const QByteArray badRequest = plainResponse("400 Bad Request", "bad");
const QByteArray ok = plainResponse("200 OK", "ok");

QByteArray bodyOf(const QByteArray& response) {
    return response.mid(response.indexOf("\r\n\r\n") + 4);
}

Vorlix::Event gatingEvent(const std::string& id, const std::string& session, const std::string& tool,
                          const std::string& command, std::optional<std::string> cwd = "/home/dev/web") {
    Vorlix::Event event;
    event.id = id;
    event.source = Vorlix::Source::claude;
    event.event = Vorlix::Canonical::permissionRequest;
    event.rawEvent = "PermissionRequest";
    event.gating = true;
    event.sessionID = session;
    event.cwd = std::move(cwd);
    event.toolName = tool;
    event.toolInput = JSONValue(JSONValue::Object{{"command", JSONValue(command)}});
    return event;
}

class RemoteApprovalTest : public ::testing::Test {
protected:
    RemoteApprovalTest() : m_port(freePort()), remote(m_port) {
        remote.setStore(&store);
        remote.onDecision = [this](const QString& id, Behavior behavior) {
            decisions.append({id, behavior});
            store.resolveRemotely(id, behavior);
        };
    }

    std::shared_ptr<GateBox> open(const std::string& id, const std::string& command, const std::string& tool = "Bash") {
        auto box = std::make_shared<GateBox>();
        store.openGate(gatingEvent(id, "s1", tool, command), box);
        return box;
    }

    QString withToken(const QString& target) const { return target + remote.token(); }

    TempHome home;
    ManualClock clock;
    SessionStore store{clock};
    quint16 m_port;
    RemoteApproval remote;
    QList<QPair<QString, Behavior>> decisions;
};

TEST_F(RemoteApprovalTest, PageNeedsTheTokenSomewhereInTheTarget) {
    remote.enable();
    ASSERT_TRUE(remote.enabled()) << remote.lastErrorText().toStdString();
    const QString token = remote.token();
    struct Case {
        QString target;
        bool served;
    } cases[] = {
        {"/?t=" + token, true},
        {"/anything?x=1&t=" + token, true},
        {"/deep/path?t=" + token + "&more=1", true},
        {"/", false},
        {"/?t=", false},
        {"/?t=" + token.chopped(1), false},
        {"/?t=" + token.toUpper(), false},
        {"/?T=" + token, false},
        {"/?t" + token, false},
    };
    for (const Case& c : cases) {
        const QByteArray response = get(m_port, c.target);
        if (c.served) {
            EXPECT_TRUE(response.startsWith("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"))
                << c.target.toStdString();
            EXPECT_TRUE(bodyOf(response).contains("<h1>VORLIX AGENTS</h1>")) << c.target.toStdString();
        } else {
            EXPECT_EQ(response, unauthorized) << c.target.toStdString();
        }
    }
    // Any method but POST is a page request.
    EXPECT_TRUE(exchange(m_port, "HEAD /?t=" + token.toUtf8() + " HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}

TEST_F(RemoteApprovalTest, MalformedRequestsAreBad) {
    remote.enable();
    const QByteArray t = remote.token().toUtf8();
    const QByteArray requests[] = {
        "HELLO\r\n\r\n",
        "\r\n\r\nGET\r\n\r\n",
        "POST /decide?t=" + t + "&id=ABC HTTP/1.1\r\n\r\n",
        "POST /decide?t=" + t + "&a=allow HTTP/1.1\r\n\r\n",
        "POST /decide?t=" + t + "&id=ABC&a= HTTP/1.1\r\n\r\n",
        "POST /decide?t=" + t + "&id=&a=allow HTTP/1.1\r\n\r\n",
    };
    for (const QByteArray& request : requests)
        EXPECT_EQ(exchange(m_port, request), badRequest) << request.toStdString();
    EXPECT_TRUE(decisions.isEmpty());
}

TEST_F(RemoteApprovalTest, DecisionsReachTheirGates) {
    auto allowed = open("ABC", "npm test");
    auto denied = open("DEF", "rm -rf build");
    remote.enable();

    EXPECT_EQ(post(m_port, "/decide?id=ABC&a=allow"), unauthorized);
    EXPECT_EQ(post(m_port, "/decide?t=wrong&id=ABC&a=allow"), unauthorized);
    EXPECT_FALSE(allowed->decision());

    EXPECT_EQ(post(m_port, withToken("/decide?t=") + "&id=ABC&a=allow"), ok);
    // Anything but exactly "allow" denies.
    EXPECT_EQ(post(m_port, "/decide?id=DEF&a=yes&t=" + remote.token()), ok);
    // A late tap on a closed gate, and a gate that never existed: answered, nothing happens.
    EXPECT_EQ(post(m_port, withToken("/decide?t=") + "&id=ABC&a=deny"), ok);
    EXPECT_EQ(post(m_port, withToken("/decide?t=") + "&id=NOPE&a=allow"), ok);

    ASSERT_TRUE(allowed->decision());
    EXPECT_EQ(*allowed->decision(), (Vorlix::Decision{Behavior::allow, std::string(SessionStore::phoneAllowMessage)}));
    ASSERT_TRUE(denied->decision());
    EXPECT_EQ(*denied->decision(), (Vorlix::Decision{Behavior::deny, std::string(SessionStore::phoneDenyMessage)}));
    EXPECT_TRUE(store.gates().isEmpty());
    const QList<QPair<QString, Behavior>> expected{
        {"ABC", Behavior::allow}, {"DEF", Behavior::deny}, {"ABC", Behavior::deny}, {"NOPE", Behavior::allow}};
    EXPECT_EQ(decisions, expected);
}

TEST_F(RemoteApprovalTest, HeadersAreExactAndLengthCountsBytes) {
    open("ABC", "rm -rf build");
    remote.enable();
    const QByteArray response = get(m_port, withToken("/?t="));
    const QByteArray body = bodyOf(response);
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                            QByteArray::number(body.size()) +
                            "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(response.left(head.size()), head);
    // The middle dot in the risk line takes two bytes.
    EXPECT_TRUE(body.contains("DESTRUCTIVE   \xC2\xB7 recursive/forced delete"));
    EXPECT_GT(body.size(), QString::fromUtf8(body).size());
    EXPECT_EQ(body, remote.page().toUtf8());
}

TEST_F(RemoteApprovalTest, AgentTextIsEscaped) {
    auto box = std::make_shared<GateBox>();
    Vorlix::Event event = gatingEvent("ABC", "s1", "Bash<b>", "echo \"<script>alert(1)</script>\" & true");
    store.openGate(event, box);
    remote.enable();
    const QByteArray body = bodyOf(get(m_port, withToken("/?t=")));
    EXPECT_TRUE(body.contains("<pre>echo &quot;&lt;script&gt;alert(1)&lt;/script&gt;&quot; &amp; true</pre>"));
    EXPECT_TRUE(body.contains("<span class=\"tool\">Bash&lt;b&gt;</span>"));
    EXPECT_FALSE(body.contains("<script>alert"));
}

TEST_F(RemoteApprovalTest, PageFollowsEveryChangeOfGatesAndSessions) {
    remote.enable();
    const auto body = [&] { return QString::fromUtf8(bodyOf(get(m_port, withToken("/?t=")))); };
    EXPECT_TRUE(body().contains("Nothing waiting."));
    open("ABC", "npm test");
    EXPECT_TRUE(body().contains("<div class=\"proj\">web</div>"));

    // The same session moves to another project with no gate changing: the card follows.
    Vorlix::Event moved = gatingEvent("E1", "s1", "Bash", "", "/home/dev/api");
    moved.event = Vorlix::Canonical::userPromptSubmit;
    moved.gating = false;
    store.apply(moved);
    QString page = body();
    EXPECT_TRUE(page.contains("<div class=\"proj\">api</div>"));
    EXPECT_FALSE(page.contains("<div class=\"proj\">web</div>"));

    store.openGate(gatingEvent("DEF", "s1", "Write", "/home/dev/api/notes.md", "/home/dev/api"),
                   std::make_shared<GateBox>());
    EXPECT_EQ(body().count("<div class=\"proj\">api</div>"), 2);
    store.resolveRemotely("ABC", Behavior::deny);
    page = body();
    EXPECT_FALSE(page.contains("d('ABC'"));
    EXPECT_TRUE(page.contains("d('DEF'"));
    EXPECT_EQ(page, remote.page());

    // A new token is a new page.
    remote.disable();
    remote.enable();
    EXPECT_TRUE(body().contains("fetch('/decide?t=" + remote.token() + "&id="));
}

TEST(PhonePage, GateIdCannotLeaveItsScriptString) {
    struct Case {
        QString id;
        QString written;
    } cases[] = {
        // Ordinary ids are written byte for byte.
        {"58c79b11-1a84-49db-a16d-4e4a5735230a", "58c79b11-1a84-49db-a16d-4e4a5735230a"},
        {"tool_use.01", "tool_use.01"},
        {"x'),d('victim','allow", R"(x\u0027\u0029\u002cd\u0028\u0027victim\u0027\u002c\u0027allow)"},
        {"\" onmouseover=\"alert(1)", R"(\u0022\u0020onmouseover\u003d\u0022alert\u00281\u0029)"},
        {"</button><script>", R"(\u003c\u002fbutton\u003e\u003cscript\u003e)"},
        {"a\\b", R"(a\u005cb)"},
        {"é😀", R"(\u00e9\ud83d\ude00)"},
    };
    ManualClock clock;
    for (const Case& c : cases) {
        Gate gate(c.id, "s1", "Bash", "ls", SpriteKind::shell, {}, clock.now(), std::make_shared<GateBox>());
        const QString card = PhonePage::card(gate, nullptr, {});
        EXPECT_TRUE(card.contains("onclick=\"d('" + c.written + "','deny')\"")) << c.id.toStdString();
        EXPECT_TRUE(card.contains("onclick=\"d('" + c.written + "','allow')\"")) << c.id.toStdString();
        // Each attribute ends where the call does: nothing of the id breaks out of the quotes.
        const QString deny = card.section("onclick=\"", 1, 1).section('"', 0, 0);
        EXPECT_EQ(deny, "d('" + c.written + "','deny')") << c.id.toStdString();
    }
}

TEST(PhonePage, CardShowsAgentProjectAndFreshRisk) {
    ManualClock clock;
    Session session("s1", Vorlix::Source::kiro, "/work/api/", clock.now());
    Gate gate("G1", "s1", "Bash", "rm -rf dist", SpriteKind::shell, {Risk::trivial, {"stale"}}, clock.now(),
              std::make_shared<GateBox>());
    std::optional<QString> seenCwd;
    const PhonePage::Assess assess = [&](const QString&, const QString&, const std::optional<QString>& cwd) {
        seenCwd = cwd;
        return RiskVerdict{Risk::critical, {"recursive/forced delete", "a & b"}};
    };
    EXPECT_EQ(PhonePage::card(gate, &session, assess),
              "<div class=\"card\"><div class=\"row\"><b>Kiro CLI</b><span class=\"tool\">Bash</span></div>"
              "<div class=\"proj\">api</div><div class=\"risk\" style=\"color:#fa87bf\">DESTRUCTIVE   \u00B7 "
              "recursive/forced delete, a &amp; b</div><pre>rm -rf dist</pre><div class=\"btns\">"
              "<button class=\"deny\" onclick=\"d('G1','deny')\">Deny</button>"
              "<button class=\"allow\" onclick=\"d('G1','allow')\">Allow</button></div></div>");
    EXPECT_EQ(seenCwd, std::optional<QString>("/work/api/"));

    // Without its session: a plain label, no project, no working directory for the rating.
    const QString orphan =
        PhonePage::card(gate, nullptr, [&](const QString&, const QString&, const std::optional<QString>& cwd) {
            seenCwd = cwd;
            return RiskVerdict{Risk::elevated, {}};
        });
    EXPECT_TRUE(orphan.contains("<b>Agent</b>"));
    EXPECT_TRUE(orphan.contains("<div class=\"proj\"></div>"));
    EXPECT_TRUE(orphan.contains("<div class=\"risk\" style=\"color:#fad96b\">elevated  </div>"));
    EXPECT_EQ(seenCwd, std::nullopt);
}

TEST(PhonePage, EmptyPageStillRefreshes) {
    const QString page = PhonePage::html({}, {}, "tok123", {});
    EXPECT_TRUE(page.startsWith("<!doctype html><html><head><meta name=\"viewport\" "
                                "content=\"width=device-width,initial-scale=1\"><meta http-equiv=\"refresh\" "
                                "content=\"3\"><title>Vorlix Agents</title><style>:root{color-scheme:dark}"));
    EXPECT_TRUE(page.contains("</style></head><body><h1>VORLIX AGENTS</h1><div class=\"empty\">Nothing waiting.<br>"
                              "<span>Your agents are getting on with it.</span></div><script>"));
    EXPECT_TRUE(page.endsWith("fetch('/decide?t=tok123&id='+id+'&a='+a,{method:'POST'})"
                              ".finally(()=>location.reload())}</script></body></html>"));
}

TEST(PhoneHttp, QueryValuesAreTakenAsWritten) {
    struct Case {
        const char* key;
        const char* target;
        std::optional<QString> value;
    } cases[] = {
        {"id", "/decide?t=x&id=ABC&a=allow", "ABC"}, {"id", "/decide?id=first&id=second", "first"},
        {"id", "/decide?id=a%20b+c", "a%20b+c"},     {"a", "/decide?a==allow", "=allow"},
        {"id", "/decide?id=&id=late", "late"},       {"id", "/decide?id", std::nullopt},
        {"id", "/decide?xid=1", std::nullopt},       {"decide", "/decide?x=1", std::nullopt},
        {"id", "/decide?a=1&&?id=2", "2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PhoneHttp::value(c.key, c.target), c.value) << c.target;
}

TEST(PhoneHttp, RequestsThatAreNotTextGetNoAnswer) {
    int pages = 0;
    const auto page = [&] {
        ++pages;
        return QByteArray("page");
    };
    EXPECT_TRUE(PhoneHttp::respond({}, "tok", page, {}).isEmpty());
    EXPECT_TRUE(PhoneHttp::respond("GET /?t=tok\xff HTTP/1.1\r\n\r\n", "tok", page, {}).isEmpty());
    EXPECT_EQ(pages, 0);
    // An empty token never matches, not even an empty "t=".
    EXPECT_EQ(PhoneHttp::respond("GET /?t= HTTP/1.1\r\n\r\n", "", page, {}), unauthorized);
    EXPECT_TRUE(PhoneHttp::hasToken("/?t=abcdef", "abc"));
    EXPECT_FALSE(PhoneHttp::hasToken("/?t=ab", "abc"));
}

TEST_F(RemoteApprovalTest, TokensAreFreshPerEnableAndStableWhileOn) {
    int tokenChanges = 0;
    int enabledChanges = 0;
    QObject::connect(&remote, &RemoteApproval::tokenChanged, [&] { ++tokenChanges; });
    QObject::connect(&remote, &RemoteApproval::enabledChanged, [&] { ++enabledChanges; });
    EXPECT_TRUE(remote.token().isEmpty());
    remote.enable();
    const QString first = remote.token();
    ASSERT_EQ(first.size(), RemoteApproval::tokenLength);
    for (const QChar c : first)
        EXPECT_NE(RemoteApproval::tokenAlphabet.find(char(c.unicode())), std::string_view::npos);

    remote.enable();
    EXPECT_EQ(remote.token(), first);
    EXPECT_EQ(tokenChanges, 1);
    EXPECT_EQ(enabledChanges, 1);

    remote.disable();
    EXPECT_FALSE(remote.enabled());
    EXPECT_TRUE(remote.token().isEmpty());
    remote.disable();
    EXPECT_EQ(enabledChanges, 2);

    remote.enable();
    EXPECT_EQ(remote.token().size(), RemoteApproval::tokenLength);
    EXPECT_NE(remote.token(), first);
    EXPECT_EQ(get(m_port, "/?t=" + first), unauthorized);
}

TEST(RemoteApprovalToken, OutOfRangeBytesAreRejectedNotFolded) {
    // 252..255 would favour the first four letters if taken modulo 36.
    std::vector<unsigned char> stream{252, 253, 254, 255, 0, 35, 36, 251};
    for (int i = 0; i < 40; ++i)
        stream.push_back(static_cast<unsigned char>(i % 2 == 0 ? 255 : 1));
    std::size_t at = 0;
    const auto source = [&](unsigned char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            data[i] = at < stream.size() ? stream[at++] : 2;
        return true;
    };
    const std::optional<QString> token = RemoteApproval::drawToken(source);
    ASSERT_TRUE(token);
    EXPECT_EQ(*token, "a9a9" + QString(20, 'b') + QString(8, 'c'));
    EXPECT_FALSE(RemoteApproval::drawToken([](unsigned char*, std::size_t) { return false; }));
}

TEST_F(RemoteApprovalTest, OldConnectionsAfterDisableAreRefused) {
    remote.enable();
    const QString token = remote.token();
    Client early(m_port);
    ASSERT_TRUE(waitUntil([&] { return remote.connectionCount() == 1; }));
    remote.disable();
    early.send("GET /?t=" + token.toUtf8() + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(early.readToClose(), unauthorized);
    // And nobody new gets in.
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, m_port);
    EXPECT_TRUE(waitUntil([&] { return late.state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(late.error(), QAbstractSocket::ConnectionRefusedError);
}

TEST_F(RemoteApprovalTest, TakenPortIsReportedAndOffStaysOff) {
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::Any, m_port));
    int errorChanges = 0;
    QObject::connect(&remote, &RemoteApproval::lastErrorChanged, [&] { ++errorChanges; });
    remote.enable();
    EXPECT_FALSE(remote.enabled());
    ASSERT_TRUE(remote.lastError());
    EXPECT_TRUE(remote.lastError()->startsWith(QString("Could not listen on port %1: ").arg(m_port)))
        << remote.lastError()->toStdString();
    EXPECT_EQ(errorChanges, 1);

    squatter.close();
    remote.enable();
    EXPECT_TRUE(remote.enabled());
    EXPECT_FALSE(remote.lastError());
}

TEST_F(RemoteApprovalTest, SilentAndUnfinishedConnectionsAreDropped) {
    remote.setIdleTimeout(200);
    remote.enable();
    Client silent(m_port);
    Client partial(m_port);
    partial.send("GET /?t=" + remote.token().toUtf8());
    ASSERT_TRUE(silent.connected());
    EXPECT_TRUE(silent.readToClose().isEmpty());
    EXPECT_TRUE(partial.readToClose().isEmpty());
    EXPECT_TRUE(silent.closedByServer());
    EXPECT_TRUE(partial.closedByServer());
    EXPECT_TRUE(waitUntil([&] { return remote.connectionCount() == 0; }));
}

TEST_F(RemoteApprovalTest, InvalidUtf8IsClosedWithoutAnswer) {
    remote.enable();
    Client client(m_port);
    client.send("GET /?t=\xC3\x28 HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.readToClose(5000).isEmpty());
    EXPECT_TRUE(client.closedByServer());
}

TEST_F(RemoteApprovalTest, OversizedRequestIsAnsweredFromItsFirstBytes) {
    remote.enable();
    Client client(m_port);
    // No line end anywhere: the server stops buffering at its limit and answers what it has.
    client.send(QByteArray(3 * RemoteApproval::maxRequestBytes, 'A'));
    EXPECT_EQ(client.readToClose(5000), badRequest);
}

TEST_F(RemoteApprovalTest, ConnectionsBeyondTheCapWaitForAFreeSlot) {
    remote.setMaxConnections(2);
    remote.enable();
    auto first = std::make_unique<Client>(m_port);
    Client second(m_port);
    ASSERT_TRUE(waitUntil([&] { return remote.connectionCount() == 2; }));
    Client third(m_port);
    third.send("GET /?t=" + remote.token().toUtf8() + " HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(third.readFor(300).isEmpty());
    EXPECT_EQ(remote.connectionCount(), 2);

    first.reset();
    const QByteArray response = third.readToClose();
    EXPECT_TRUE(response.startsWith("HTTP/1.1 200 OK\r\n")) << response.left(80).toStdString();
}

TEST(RemoteApprovalLifetime, ConnectionsCloseWithTheServer) {
    TempHome home;
    const quint16 port = freePort();
    auto remote = std::make_unique<RemoteApproval>(port);
    remote->enable();
    Client client(port);
    ASSERT_TRUE(waitUntil([&] { return remote->connectionCount() == 1; }));
    remote.reset();
    client.send("GET / HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.readToClose().isEmpty());
    EXPECT_TRUE(client.closedByServer());
}

TEST(RemoteApprovalUrl, ComputerNameWithDashesAndLocal) {
    EXPECT_EQ(RemoteApproval::pairingURL("Anna's Laptop 2", 8787, "tok"), "http://Anna's-Laptop-2.local:8787/?t=tok");
    EXPECT_EQ(RemoteApproval::pairingURL("", 9000, "tok"), "http://localhost.local:9000/?t=tok");
    RemoteApproval remote(4321);
    EXPECT_EQ(remote.pairingURL(), RemoteApproval::pairingURL(QSysInfo::machineHostName(), 4321, ""));
}

// Byte-mode capacity at level M of versions 1 to 10 (ISO/IEC 18004, table 7).
constexpr int byteCapacityM[] = {14, 26, 42, 62, 84, 106, 122, 152, 180, 213};

int smallestVersion(qsizetype bytes) {
    for (int v = 1; v <= 10; ++v) {
        if (bytes <= byteCapacityM[v - 1])
            return v;
    }
    return 0;
}

bool finderAt(const QrCode& code, int left, int top) {
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool ring = x == 0 || y == 0 || x == 6 || y == 6;
            const bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            if (code.isDark(left + x, top + y) != (ring || core))
                return false;
        }
    }
    return true;
}

TEST(QrCode, SmallestVersionAtLevelMWithFinderPatterns) {
    const QString token(32, 'k');
    for (const int hostLength : {1, 5, 6, 20, 40, 60}) {
        const QByteArray url = RemoteApproval::pairingURL(QString(hostLength, 'h'), 8787, token).toUtf8();
        const std::optional<QrCode> code = QrCode::encode(url);
        ASSERT_TRUE(code) << url.toStdString();
        EXPECT_EQ(code->version(), smallestVersion(url.size())) << url.size();
        EXPECT_EQ(code->width(), 17 + 4 * code->version());
        const int far = code->width() - 7;
        EXPECT_TRUE(finderAt(*code, 0, 0));
        EXPECT_TRUE(finderAt(*code, far, 0));
        EXPECT_TRUE(finderAt(*code, 0, far));
        // Timing pattern along row 6 between the finders.
        for (int x = 8; x < far - 1; ++x)
            EXPECT_EQ(code->isDark(x, 6), x % 2 == 0) << x;
    }
}

TEST(QrCode, ImageIsExactlyTheSizeAskedWithHardEdges) {
    RemoteApproval remote(8787);
    for (const int size : {150, 57, 300}) {
        const QImage image = remote.qrImage(size);
        ASSERT_EQ(image.size(), QSize(size, size));
        int dark = 0;
        int light = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
                ASSERT_TRUE(pixel == 0 || pixel == 0xFFFFFF) << x << "," << y;
                (pixel == 0 ? dark : light)++;
            }
        }
        EXPECT_GT(dark, size * size / 5);
        EXPECT_GT(light, size * size / 5);
        // A light quiet zone surrounds the symbol.
        EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(image.pixel(size - 1, size - 1) & 0xFFFFFF, 0xFFFFFFu);
    }
    EXPECT_TRUE(remote.qrImage(0).isNull());
}

} // namespace
