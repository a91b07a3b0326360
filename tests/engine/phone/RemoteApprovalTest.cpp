#include "phone/RemoteApproval.h"
#include "EventLoop.h"
#include "StoreEvents.h"
#include "TempHome.h"
#include "TestFiles.h"
#include "hookserver/GateBox.h"
#include "phone/PhoneHttp.h"
#include "phone/PhonePage.h"
#include "phone/QrCode.h"
#include "sessions/SessionStore.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using Vorlix::Behavior;

namespace {

using TestFiles::freePort;

/// A connection on the test's own event loop (the server shares it).
struct Client {
    explicit Client(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    /// Sends the bytes; returns all the server sent before closing, marked when it did not close in time.
    QByteArray answer(const QByteArray& request, int timeoutMs = 5000) {
        socket.write(request);
        const bool closed = waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
        received += socket.readAll();
        return closed ? received : "(still open) " + received;
    }
    QTcpSocket socket;
    QByteArray received;
};

QByteArray plain(const QByteArray& status, const QByteArray& body, const QByteArray& type = "text/plain") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
}
const QByteArray unauthorized = plain("401 Unauthorized", "no");
const QByteArray badRequest = plain("400 Bad Request", "bad");
const QByteArray ok = plain("200 OK", "ok");

class RemoteApprovalTest : public ::testing::Test {
protected:
    RemoteApprovalTest() { remote.setStore(&store); }

    void open(const std::string& command) {
        openPanelGate(store, "s1", "Bash", nlohmann::json{{"command", command}}.dump(), "/home/dev/web");
    }
    QByteArray get(const QString& target) {
        return Client(port).answer("GET " + target.toUtf8() + " HTTP/1.1\r\n\r\n");
    }

    TempHome home;
    ManualClock clock;
    SessionStore store{clock};
    quint16 port = freePort();
    RemoteApproval remote{port};
};

// Whoever sends what, the answer is one of a few fixed ones; only a tokened POST with an id and an action decides.
// (The page, its version and a decision over real TCP: the browser test.)
TEST(PhoneHttp, EveryRequestGetsItsAnswer) {
    const QByteArray t = "k3y";
    QList<QPair<QString, Behavior>> decisions;
    PhoneHttp::Site site;
    site.page = [] { return QByteArray("page \xC2\xB7"); };
    site.gates = [] { return QByteArray("list"); };
    site.version = [] { return quint64(42); };
    site.decide = [&](const QString& id, Behavior behavior) { decisions.append({id, behavior}); };
    site.allowForSession = [&](const QString& id) { decisions.append({"session " + id, Behavior::allow}); };
    // The length counts bytes: the middle dot takes two.
    const QByteArray page = plain("200 OK", "page \xC2\xB7", "text/html; charset=utf-8");
    const auto get = [](const QByteArray& target) { return "GET " + target + " HTTP/1.1\r\nHost: p\r\n\r\n"; };
    const auto decide = [](const QByteArray& query) { return "POST /decide?" + query + " HTTP/1.1\r\n\r\n"; };
    const QByteArray badScope = plain("400 Bad Request", "scope must be session, with a=allow");
    // The token anywhere in the target; any method but POST reads. Not UTF-8: no answer. Anything but exactly
    // "allow" denies; late taps and unknown gates are answered and left to the store.
    const std::pair<QByteArray, QByteArray> cases[] = {
        {get("/?t=" + t), page},
        {get("/deep/path?x=1&t=" + t + "&more=1"), page},
        {"HEAD /?t=" + t + " HTTP/1.1\r\n\r\n", page},
        {get("/v?t=" + t), plain("200 OK", "42")},
        {get("/gates?t=" + t), plain("200 OK", "list", "text/html; charset=utf-8")},
        {get("/v/?t=" + t), page},
        {get("/"), unauthorized},
        {get("/gates?t=" + t.chopped(1)), unauthorized},
        {get("/?t=" + t.toUpper()), unauthorized},
        {get("/?t" + t), unauthorized},
        {"HELLO\r\n\r\n", badRequest},
        {decide("t=" + t + "&id=ABC"), badRequest},
        {decide("t=" + t + "&a=allow"), badRequest},
        {decide("t=" + t + "&id=ABC&a="), badRequest},
        {"GET /?t=\xC3\x28 HTTP/1.1\r\n\r\n", ""},
        {"", ""},
        {decide("id=ABC&a=allow"), unauthorized},
        {decide("t=" + t + "&id=ABC&a=allow"), ok},
        {"POST /v?id=DEF&a=yes&t=" + t + " HTTP/1.1\r\n\r\n", ok},
        {decide("t=" + t + "&id=ABC&a=deny"), ok},
        // A scope only as "session" on an allow; anything else decides nothing.
        {decide("t=" + t + "&id=S&a=allow&scope=session"), ok},
        {decide("t=" + t + "&id=S&a=deny&scope=session"), badScope},
        {decide("t=" + t + "&id=S&a=allow&scope=always"), badScope},
    };
    for (const auto& [request, expected] : cases)
        EXPECT_EQ(PhoneHttp::respond(request, t, site), expected) << request.left(60).toStdString();
    const QList<QPair<QString, Behavior>> expected{
        {"ABC", Behavior::allow}, {"DEF", Behavior::deny}, {"ABC", Behavior::deny}, {"session S", Behavior::allow}};
    EXPECT_EQ(decisions, expected);
    // An empty token never matches, not even an empty "t=".
    EXPECT_EQ(PhoneHttp::respond("GET /?t= HTTP/1.1\r\n\r\n", "", site), unauthorized);
}

// An answer is checked against the gate it answers and built from that gate's own input: anything that does not
// answer every question exactly as asked is refused with its reason and decides nothing.
TEST_F(RemoteApprovalTest, AnAnswerIsCheckedAgainstTheGateItAnswers) {
    remote.enable();
    const std::string questions = R"({"questions":[{"question":"Which database?","header":"DB","multiSelect":false,)"
                                  R"("options":[{"label":"PostgreSQL"},{"label":"SQLite"}]},)"
                                  R"({"question":"Which checks?","header":"CI","multiSelect":true,)"
                                  R"("options":[{"label":"lint"},{"label":"tests"},{"label":"docs"}]}]})";
    const auto asked = openPanelGate(store, "s1", "AskUserQuestion", questions);
    const QString q = store.gates().last()->id();
    const auto command = openPanelGate(store, "s1", "Bash", R"({"command":"make"})");
    const QString b = store.gates().last()->id();
    const auto post = [&](const QString& id, const QString& query) {
        return remote.respond("POST /decide?t=" + remote.token().toUtf8() + "&id=" + id.toUtf8() +
                              "&a=" + query.toUtf8() + " HTTP/1.1\r\n\r\n");
    };
    const std::tuple<QString, QString, QByteArray, QByteArray> cases[] = {
        {q, "answer", "400", "give each answer as answer=QUESTION:OPTION"},
        {q, "answer&answer=0:-1&answer=1:0", "400", "give each answer as answer=QUESTION:OPTION"},
        {q, "answer&answer=0:1", "400", "question 1 is not answered"},
        {q, "answer&answer=0:0&answer=0:1&answer=1:0", "400", "question 0 takes one answer"},
        {q, "answer&answer=0:5&answer=1:0", "400", "question 0 has no option 5"},
        {q, "answer&answer=2:0&answer=0:0&answer=1:0", "400", "there is no question 2"},
        {b, "answer&answer=0:0", "400", "that request is not a question"},
        {"gone", "answer&answer=0:0", "404", "that request is no longer waiting"},
        {q, "answer&answer=1:2&answer=0:1&answer=1%3A0", "200", "ok"},
        {b, "terminal", "200", "ok"},
    };
    for (const auto& [id, query, status, body] : cases) {
        const QByteArray reply = post(id, query);
        EXPECT_TRUE(reply.startsWith("HTTP/1.1 " + status) && reply.endsWith("\r\n\r\n" + body))
            << query.toStdString() << "\n"
            << reply.toStdString();
        if (status == "400") {
            EXPECT_FALSE(asked->decision());
        }
    }
    // Several picks of a multiSelect question are one answer, its labels in the order asked.
    const auto input = nlohmann::json::parse(questions);
    auto expected = input;
    expected["answers"] = {{"Which database?", "SQLite"}, {"Which checks?", "lint, docs"}};
    EXPECT_EQ(asked->decision()->toJson(), (nlohmann::json{{"behavior", "allow"}, {"updatedInput", expected}}));
    EXPECT_TRUE(store.gates().isEmpty());
    EXPECT_FALSE(command->decision()) << "left to the terminal: nothing sent";
    EXPECT_FALSE(command->isOpen());
}

// The version moves exactly when what the page shows does, also with no gate changing; the page carries the list,
// version and token it was built with. (Gates coming and going on an open page: the browser test.)
TEST_F(RemoteApprovalTest, VersionFollowsEveryChangeOfGatesSessionsAndToken) {
    remote.enable();
    const auto list = [&] { return QString::fromUtf8(remote.gateListBytes()); };
    quint64 version = remote.version();
    const auto moved = [&] { return std::exchange(version, remote.version()) != remote.version(); };
    open("npm test");
    EXPECT_TRUE(moved());
    EXPECT_TRUE(remote.page().contains("<div id=\"gates\">" + list() + "</div>"));
    EXPECT_FALSE(moved());
    store.apply(panelEvent("s1", Vorlix::Canonical::preToolUse, "Bash", "{}", "/home/dev/api"));
    EXPECT_TRUE(moved());
    EXPECT_TRUE(list().contains("<div class=\"proj\">api</div>"));
    remote.disable();
    remote.enable();
    EXPECT_TRUE(moved());
    EXPECT_TRUE(remote.page().contains("var q='?t=" + remote.token() + "',v='" + QString::number(version) + "'"));
}

TEST(PhonePage, GateIdCannotLeaveItsScriptString) {
    const std::pair<QString, QString> cases[] = {
        {"x'),d('victim','allow", R"(x\u0027\u0029\u002cd\u0028\u0027victim\u0027\u002c\u0027allow)"},
        {"\" onmouseover=\"alert(1)", R"(\u0022\u0020onmouseover\u003d\u0022alert\u00281\u0029)"},
        {"</button><script>", R"(\u003c\u002fbutton\u003e\u003cscript\u003e)"},
        {"a\\b", R"(a\u005cb)"},
        {"é😀", R"(\u00e9\ud83d\ude00)"},
    };
    ManualClock clock;
    for (const auto& [id, written] : cases) {
        Gate gate(id, "s1", "Bash", "ls", SpriteKind::shell, {}, clock.now(), std::make_shared<GateBox>());
        const QString card = PhonePage::card(gate, nullptr, {});
        // Each attribute ends where the call does: nothing of the id breaks out of the quotes.
        EXPECT_EQ(card.section("onclick=\"", 1, 1).section('"', 0, 0), "d('" + written + "','deny')");
        EXPECT_EQ(card.section("onclick=\"", 2, 2).section('"', 0, 0), "d('" + written + "','allow')");
        EXPECT_EQ(card.section("onclick=\"", 3, 3).section('"', 0, 0), "w('" + written + "')");
    }
}

TEST(PhonePage, CardShowsAgentProjectFreshRiskAndTheChange) {
    ManualClock clock;
    Session session("s1", Vorlix::Source::kiro, "/work/api/", clock.now());
    Gate gate("G1", "s1", "Bash<b>", "rm -rf \"<dist>\" & true", SpriteKind::shell, {Risk::trivial, {"stale"}},
              clock.now(), std::make_shared<GateBox>());
    std::optional<QString> seenCwd;
    const PhonePage::Assess assess = [&](const QString&, const QString&, const std::optional<QString>& cwd) {
        seenCwd = cwd;
        return RiskVerdict{Risk::critical, {"recursive/forced delete", "a & b"}};
    };
    EXPECT_TRUE(
        PhonePage::card(gate, &session, assess)
            .startsWith("<div class=\"card\"><div class=\"row\"><b>Kiro CLI</b><span class=\"tool\">Bash&lt;b&gt;"
                        "</span></div><div class=\"proj\">api</div><div class=\"risk\" style=\"color:#fa87bf\">"
                        "DESTRUCTIVE   \u00B7 recursive/forced delete, a &amp; b</div>"
                        "<pre>rm <span class=\"j\">-r</span>f &quot;&lt;dist&gt;&quot; &amp; true</pre>"));
    EXPECT_EQ(seenCwd, std::optional<QString>("/work/api/"));
    EXPECT_FALSE(PhonePage::card(gate, &session, assess).contains("class=\"session\"")) << "never on a critical call";

    // An edit's card carries the panel's diff, escaped; a command's card has none.
    Gate edit("E", "s", "Edit", "/w/a.html", SpriteKind::writing, {}, {}, std::make_shared<GateBox>());
    edit.setChange(FileChange{"/w/a.html", LineDiff::diff("<b>old</b>\nsame", "<i>new & better</i>\nsame")});
    EXPECT_TRUE(PhonePage::card(edit, nullptr, {})
                    .contains(QStringLiteral("<pre>/w/a.html</pre><pre class=\"diff\">"
                                             "<span class=\"del\">\u2212 &lt;b&gt;old&lt;/b&gt;</span>"
                                             "<span class=\"add\">+ &lt;i&gt;new &amp; better&lt;/i&gt;</span>"
                                             "<span class=\"ctx\">  same</span></pre>")));

    edit.setChange(FileChange{"/w/a.html", LineDiff::diff({}, QString("x\n").repeated(20))});
    EXPECT_TRUE(
        PhonePage::card(edit, nullptr, {}).contains(QStringLiteral("<span class=\"ctx\">\u2026 8 more lines</span>")));
}

TEST(PhonePage, LongDetailsAreCutAtWholeCharactersAndSayHowMuchIsLeft) {
    const qsizetype max = PhonePage::maxDetailBytes;
    const QString euro = QStringLiteral("\u20AC");     // three bytes
    const QString face = QStringLiteral("\U0001F600"); // four bytes, two UTF-16 units
    const std::vector<std::pair<QString, QString>> cases = {
        {QString(max, 'a'), QString(max, 'a')},
        {QString(max + 1, 'a'), QString(max, 'a') + "\n\u2026 1 more bytes"},
        {QString(max - 1, 'a') + face, QString(max - 1, 'a') + "\n\u2026 4 more bytes"},
        {QString(max - 2, 'a') + euro + "b", QString(max - 2, 'a') + "\n\u2026 4 more bytes"},
    };
    for (const auto& [detail, shown] : cases)
        EXPECT_EQ(PhonePage::shownDetail(detail), shown) << detail.size();
}

TEST_F(RemoteApprovalTest, EnableAndDisable) {
    remote.enable();
    const QString first = remote.token();
    ASSERT_EQ(first.size(), RemoteApproval::tokenLength);
    remote.enable();
    EXPECT_EQ(remote.token(), first);

    // A connection accepted before the switch is off is refused all the same, and nobody new gets in.
    Client early(port);
    ASSERT_TRUE(waitUntil([&] { return remote.connectionCount() == 1; }));
    remote.disable();
    EXPECT_TRUE(remote.token().isEmpty());
    EXPECT_EQ(early.answer("GET /?t=" + first.toUtf8() + " HTTP/1.1\r\n\r\n"), unauthorized);
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(waitUntil([&] { return late.state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(late.error(), QAbstractSocket::ConnectionRefusedError);

    remote.enable();
    EXPECT_NE(remote.token(), first);
    EXPECT_EQ(get("/?t=" + first), unauthorized);

    // A port taken by someone else: said so, and off stays off until it is free.
    remote.disable();
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::Any, port));
    remote.enable();
    EXPECT_FALSE(remote.enabled());
    EXPECT_TRUE(remote.lastErrorText().startsWith(QString("Could not listen on port %1: ").arg(port)));
    squatter.close();
    remote.enable();
    EXPECT_TRUE(remote.enabled());
    EXPECT_FALSE(remote.lastError());
}

TEST(RemoteApprovalToken, OutOfRangeBytesAreRejectedNotFolded) {
    // 252..255 would favour the first four letters if taken modulo 36.
    std::vector<unsigned char> stream{252, 253, 254, 255, 0, 35, 36, 251};
    for (int i = 0; i < 40; ++i)
        stream.push_back(static_cast<unsigned char>(i % 2 == 0 ? 255 : 1));
    std::size_t at = 0;
    const std::optional<QString> token = RemoteApproval::drawToken([&](unsigned char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            data[i] = at < stream.size() ? stream[at++] : 2;
        return true;
    });
    EXPECT_EQ(token, "a9a9" + QString(20, 'b') + QString(8, 'c'));
    EXPECT_FALSE(RemoteApproval::drawToken([](unsigned char*, std::size_t) { return false; }));
}

TEST_F(RemoteApprovalTest, SilentUnfinishedAndSurplusConnectionsAreDropped) {
    remote.setRequestTimeout(200);
    remote.enable();
    // No line end anywhere: buffering stops at the limit and that is answered.
    EXPECT_EQ(Client(port).answer(QByteArray(3 * RemoteApproval::maxRequestBytes, 'A')), badRequest);
    Client silent(port);
    Client partial(port);
    ASSERT_TRUE(waitUntil([&] { return remote.connectionCount() == 2; }));
    EXPECT_EQ(partial.answer("GET /?t=" + remote.token().toUtf8()), "");
    EXPECT_EQ(silent.answer({}), "");
    EXPECT_TRUE(waitUntil([&] { return remote.connectionCount() == 0; }));

    // A full server drops the connection silent longest.
    remote.disable();
    remote.setMaxConnections(2);
    remote.setRequestTimeout(RemoteApproval::defaultRequestTimeoutMs);
    remote.enable();
    Client talker(port);
    ASSERT_TRUE(waitUntil([&] { return remote.connectionCount() == 1; }));
    Client quiet(port);
    ASSERT_TRUE(waitUntil([&] { return remote.connectionCount() == 2; }));
    // The first to connect is the last heard from: the later, silent one gives way.
    talker.socket.write("G");
    waitUntil([] { return false; }, 50);
    Client phone(port);
    EXPECT_TRUE(phone.answer("GET /?t=" + remote.token().toUtf8() + " HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(quiet.answer({}, 1000), "");
    EXPECT_EQ(talker.answer({}, 300), "(still open) ");
}

TEST(QrCode, PairingUrlInAQrCodeWithItsFinderPattern) {
    EXPECT_EQ(RemoteApproval::pairingURL("Anna's Laptop 2", 8787, "tok"), "http://Anna's-Laptop-2.local:8787/?t=tok");
    EXPECT_EQ(RemoteApproval::pairingURL("", 9000, "tok"), "http://localhost.local:9000/?t=tok");
    const std::optional<QrCode> code = QrCode::encode(RemoteApproval::pairingURL("h", 8787, QString(32, 'k')).toUtf8());
    ASSERT_TRUE(code);
    ASSERT_EQ(code->width(), 17 + 4 * code->version());
    // The top left finder pattern, row by row: a dark ring, a light ring, a dark 3x3 core.
    QString corner;
    for (int at = 0; at < 49; ++at)
        corner += code->isDark(at % 7, at / 7) ? '#' : '.';
    EXPECT_EQ(corner, "########.....##.###.##.###.##.###.##.....########");
}

} // namespace
