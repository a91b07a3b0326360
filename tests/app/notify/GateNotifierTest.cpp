#include "notify/GateNotifier.h"
#include "EventLoop.h"
#include "StoreEvents.h"
#include "game/Achievement.h"
#include "notify/NotificationCenter.h"
#include "sessions/SessionStore.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <gtest/gtest.h>

using Vorlix::Behavior;

// A notification server as small as the protocol allows, recording what it is asked.
class FakeNotifications final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Posted {
        uint id;
        QString summary, body;
        QStringList actions;
    };
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    QList<Posted> posted;
    QList<uint> closed;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        posted.append({static_cast<uint>(posted.size() + 1), summary, body, actions});
        return posted.last().id;
    }
    void CloseNotification(uint id) { closed.append(id); }

signals:
    void ActionInvoked(uint id, const QString& key);
    void NotificationClosed(uint id, uint reason);
};

namespace {

struct GateNotifications : ::testing::Test {
    QProcess bus; // a private session bus for one test; nothing reaches the machine's own
    QString address;
    FakeNotifications fake;
    SessionStore store;
    std::unique_ptr<NotificationCenter> center;
    std::unique_ptr<GateNotifier> notifier;

    void SetUp() override {
        bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(bus.waitForStarted() && waitUntil([&] { return bus.canReadLine(); }))
            << "dbus-daemon did not start";
        address = QString::fromUtf8(bus.readLine()).trimmed();
        QDBusConnection serverSide = connect(QStringLiteral("server"));
        ASSERT_TRUE(serverSide.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(serverSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                              QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        center = std::make_unique<NotificationCenter>(connect(QStringLiteral("client")));
        notifier = std::make_unique<GateNotifier>(store, *center);
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("intruder"));
        bus.kill();
        bus.waitForFinished();
    }
    QDBusConnection connect(const QString& name) { return QDBusConnection::connectToBus(address, name); }
    // The signal as the server sends it; any other connection on the bus can send the very same.
    void invoke(uint id, const QString& key, const QString& from = QStringLiteral("server")) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << key;
        connect(from).send(signal);
    }
};

TEST_F(GateNotifications, AllowOnTheNotificationAnswersTheGateAndWithdrawsIt) {
    const auto box = openPanelGate(store, "s1", "Bash", R"({"command":"echo hi > marker.txt"})");
    ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == 1; }));
    const auto notice = fake.posted.first();
    EXPECT_EQ(notice.summary, QStringLiteral("Claude Code wants to run"));
    EXPECT_TRUE(notice.body.contains(QStringLiteral("echo hi > marker.txt"))) << notice.body.toStdString();
    EXPECT_EQ(notice.actions, (QStringList{"allow", "Allow", "deny", "Deny"}));

    invoke(notice.id, QStringLiteral("deny"), QStringLiteral("intruder"));
    waitUntil([] { return false; }, 300);
    ASSERT_TRUE(box->isOpen()) << "only the server we posted to answers";

    invoke(notice.id, QStringLiteral("allow"));
    ASSERT_TRUE(waitUntil([&] { return !box->isOpen(); }));
    EXPECT_EQ(box->decision(), Vorlix::Decision{Behavior::allow});
    EXPECT_TRUE(store.gates().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return fake.closed.contains(notice.id); }));
}

// A critical call, and one whose body had to be cut: nobody allows from here what they could not read.
TEST_F(GateNotifications, CriticalOrCutGatesOfferOnlyDenyAndCloseWithTheCard) {
    const std::string longCommand =
        R"({"command":"echo )" + std::string(11000, 'x') + R"(; python3 /tmp/x.py --wipe-home"})";
    const std::pair<std::string, const char*> cases[] = {
        {R"({"command":"rm -rf build"})", "DESTRUCTIVE"},
        {longCommand, "open the panel to see all"},
    };
    for (const auto& [input, shown] : cases) {
        const qsizetype before = fake.posted.size();
        const auto box = openPanelGate(store, "s1", "Bash", input);
        ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == before + 1; }));
        const auto notice = fake.posted.last();
        EXPECT_EQ(notice.actions, (QStringList{"deny", "Deny"})) << shown;
        EXPECT_TRUE(notice.body.contains(QString::fromUtf8(shown))) << notice.body.toStdString();
        EXPECT_FALSE(notice.body.contains(QStringLiteral("wipe-home")));

        // An Allow the notification never offered is ignored; the gate still waits.
        invoke(notice.id, QStringLiteral("allow"));
        waitUntil([] { return false; }, 300);
        ASSERT_EQ(store.gates().size(), 1);

        store.decide(store.gates().first()->id(), Behavior::deny, SessionStore::Surface::card);
        ASSERT_TRUE(waitUntil([&] { return fake.closed.contains(notice.id); }));
        EXPECT_EQ(box->decision(), Vorlix::Decision{Behavior::deny});
    }
}

TEST_F(GateNotifications, MarkupServersGetEscapedTextAndNoActionsWhenTheyHaveNone) {
    fake.capabilities = {QStringLiteral("body"), QStringLiteral("body-markup")};
    center = std::make_unique<NotificationCenter>(connect(QStringLiteral("client")));
    notifier = std::make_unique<GateNotifier>(store, *center);
    openPanelGate(store, "s1", "Bash", R"({"command":"cat a <b> & c"})");
    ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == 1; }));
    EXPECT_TRUE(fake.posted.first().actions.isEmpty());
    EXPECT_TRUE(fake.posted.first().body.contains(QStringLiteral("cat a &lt;b&gt; &amp; c")));

    notifier->notifyAchievement({QStringLiteral("night-owl"), QStringLiteral("Night Owl"),
                                 QStringLiteral("Approved a call after midnight."), std::nullopt});
    ASSERT_TRUE(waitUntil([&] { return fake.posted.size() == 2; }));
    EXPECT_EQ(fake.posted.last().summary, QStringLiteral("🏆 Night Owl"));
    EXPECT_EQ(fake.posted.last().body, QStringLiteral("Approved a call after midnight."));
}

TEST(NotificationCenter, WithoutABusNothingIsPostedAndNothingWaits) {
    NotificationCenter center(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
    EXPECT_FALSE(center.available());
    std::optional<uint> id;
    center.notify({QStringLiteral("🏆 First blood"), QStringLiteral("detail"), {}, -1, {}},
                  [&](uint posted) { id = posted; });
    EXPECT_EQ(id, 0u);
    center.close(7);
}

} // namespace

#include "GateNotifierTest.moc"
