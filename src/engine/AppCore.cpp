#include "AppCore.h"

#include "phone/PairingAddresses.h"
#include "prefs/PrefsWatcher.h"
#include "risk/AutoApprovePolicy.h"
#include "support/AppPaths.h"
#include "support/Log.h"

#include <QPointer>
#include <algorithm>

AppCore::AppCore(QObject* parent) : AppCore(Options{}, parent) {}

AppCore::AppCore(Options options, QObject* parent)
    : QObject(parent), m_clock(options.clock != nullptr ? *options.clock : Clock::system()), m_options(options) {
    m_store = std::make_unique<SessionStore>(m_clock);
    m_store->setPolicy(this);
    m_installer = std::make_unique<Installer>();
    m_prefs = std::make_unique<Prefs>();
    m_rules = std::make_unique<RuleStore>(RuleStore::defaultPath(), m_clock);
    m_auditLog = std::make_unique<AuditLog>(AppPaths::auditDir(), m_clock);
    m_remote = std::make_unique<RemoteApproval>(options.phonePort);
    m_game = std::make_unique<Game>(Game::defaultPath(), m_clock);
}

AppCore::~AppCore() {
    // The server's threads hold their own state; stop accepting before the store goes away.
    m_socketKeeper.reset();
    m_server.reset();
    m_store->setPolicy(nullptr);
}

void AppCore::play(Cue cue) {
    if (m_prefs->soundEnabled())
        emit this->cue(cue);
}

void AppCore::start(bool notch, double notchWidth, double notchHeight, double screenWidth) {
    if (m_started)
        return;
    m_started = true;

    m_prefsWatcher = std::make_unique<PrefsWatcher>(*m_prefs);
    m_refreshTimer.setInterval(2000);
    connect(&m_refreshTimer, &QTimer::timeout, m_store.get(), &SessionStore::refreshContext);
    m_refreshTimer.start();

    connect(m_store.get(), &SessionStore::gateOpened, this, [this] { play(Cue::needsApproval); });
    connect(m_store.get(), &SessionStore::gateDecided, this, [this](Vorlix::Behavior behavior) {
        play(behavior == Vorlix::Behavior::allow ? Cue::approved : Cue::denied);
    });
    // The cue before the game hears of it: a coin earned may unlock an achievement with a cue of its own.
    connect(m_store.get(), &SessionStore::sessionDone, this, [this] {
        play(Cue::done);
        m_game->agentCompleted();
    });

    // The phone's callback holds the core weakly and does nothing once the core is gone.
    QPointer<AppCore> self(this);
    m_remote->setStore(m_store.get());
    m_remote->onDecision = [self](const QString& id, Vorlix::Behavior behavior) {
        if (self)
            self->m_store->decide(id, behavior, SessionStore::Surface::phone);
    };
    m_remote->onAllowForSession = [self](const QString& id) {
        if (self)
            self->m_store->allowForSession(id, SessionStore::Surface::phone);
    };
    if (qEnvironmentVariable("VORLIX_REMOTE") == QLatin1String("1")) {
        m_remote->enable();
        // A URL for a page nobody serves would send the person to a dead end.
        if (m_remote->enabled()) {
            PairingAddresses::logEnabled(*m_remote);
        } else {
            Log::line(QStringLiteral("Vorlix Agents: phone approvals unavailable: ") + m_remote->lastErrorText());
        }
    }

    m_game->onAchievement = [self](const Achievement& achievement) {
        if (!self)
            return;
        self->play(Cue::launch);
        emit self->achievementUnlocked(achievement);
    };

    play(Cue::launch);

    QString notPrivate;
    if (!AppPaths::makePrivate(&notPrivate)) {
        Log::line(QStringLiteral("Vorlix Agents: could not open socket: ") + notPrivate);
    } else {
        m_server = std::make_unique<Server>(m_store.get(), m_options.gateTimeout);
        try {
            m_server->start();
            m_socketKeeper = std::make_unique<SocketKeeper>(*m_server);
            // Before the "up" line: a second start from then on finds someone to hand its request to.
            m_control.listen();
        } catch (const std::exception& error) {
            Log::line(QStringLiteral("Vorlix Agents: could not open socket: ") + QString::fromUtf8(error.what()));
        }
    }

    Log::line(QStringLiteral("Vorlix Agents up. notch=%1 w=%2 h=%3 screen=%4")
                  .arg(notch ? QStringLiteral("true") : QStringLiteral("false"))
                  .arg(static_cast<qint64>(notchWidth))
                  .arg(static_cast<qint64>(notchHeight))
                  .arg(static_cast<qint64>(screenWidth)));
}

void AppCore::onAudit(const AuditEntry& entry) {
    m_auditLog->record(entry);
    const auto& sessions = m_store->sessions();
    const qsizetype live = std::count_if(sessions.begin(), sessions.end(),
                                         [](const Session* session) { return session->state() != SpriteKind::done; });
    m_game->record(entry, live);
}

void AppCore::setPanelUp(bool up) {
    m_panelUp = up;
}

bool AppCore::personCanAnswer() const {
    return m_panelUp || m_remote->enabled();
}

std::optional<Vorlix::Behavior> AppCore::ruleDecision(const QString& tool, const QString& detail,
                                                      const RiskVerdict&) const {
    return m_rules->decision(tool, detail);
}

bool AppCore::autoApproves(const RiskVerdict& verdict) const {
    return AutoApprovePolicy::allows(m_prefs->autoApproveLevel(), verdict);
}

void AppCore::shutdown() {
    m_socketKeeper.reset();
    if (m_server)
        m_server->shutdown();
}
