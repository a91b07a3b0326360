#include "shell/DesktopShell.h"

#include "AppCore.h"
#include "notify/GateNotifier.h"
#include "notify/NotificationCenter.h"
#include "panel/NotchPanel.h"
#include "shell/MainMenu.h"
#include "shell/TrayIcon.h"
#include "sound/SoundEngine.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

DesktopShell::DesktopShell(AppCore& core, QObject* parent) : QObject(parent), m_core(core) {
    Prefs& prefs = core.prefs();
    m_sound = std::make_unique<SoundEngine>([&prefs] { return prefs.soundEnabled(); });
}

DesktopShell::~DesktopShell() = default;

void DesktopShell::start() {
    if (m_started)
        return;
    m_started = true;

    connect(&m_core, &AppCore::cue, m_sound.get(), &SoundEngine::play);
    connect(&m_core, &AppCore::achievementUnlocked, this, [this](const Achievement& achievement) {
        startDesktopServices();
        m_gateNotifier->notifyAchievement(achievement);
    });

    // The panel step. The island is built on the loop's first turn (see below); a gate that comes in before then
    // waits in the store, and the panel shows it as it is built.
    m_geo = NotchGeometry::detect();
    m_core.setPanelUp(true);
    m_core.start(m_geo.hasNotch, m_geo.notchWidth, m_geo.notchHeight, NotchGeometry::frameOf(m_geo).width());

    if (opensSettingsAtStart(m_core.installer().agents(), qEnvironmentVariable("VORLIX_SETTINGS")))
        openSettings();

    // The panel and the tray's menu (the first widgets: style and font database), the audio output and the
    // session bus cost more than the whole headless start: they follow on the loop's first turn, once the socket
    // already answers bridges. The start-up cue waits for the output; open gates are picked up.
    QTimer::singleShot(0, this, [this] { startDesktopServices(); });
}

void DesktopShell::startDesktopServices() {
    if (m_gateNotifier)
        return;
    m_panel = std::make_unique<NotchPanel>(
        m_core, m_geo, [this] { openSettings(); }, [this] { quit(); });
    m_panel->show();
    m_sound->start();
    m_notifications = std::make_unique<NotificationCenter>();
    m_gateNotifier = std::make_unique<GateNotifier>(m_core.store(), *m_notifications);
    m_tray = std::make_unique<TrayIcon>();
    connect(m_tray.get(), &TrayIcon::settingsRequested, this, &DesktopShell::openSettings);
    connect(m_tray.get(), &TrayIcon::quitRequested, this, &DesktopShell::quit);
    m_tray->show();
}

bool DesktopShell::opensSettingsAtStart(const QList<Installer::Agent>& agents, const QString& settingsVariable) {
    // Hooks waiting for Codex's trust are installed: the person has been through set-up already.
    const bool anyInstalled = std::any_of(agents.begin(), agents.end(), [](const Installer::Agent& agent) {
        const auto kind = agent.status.kind();
        return kind == Installer::Status::Kind::installed || kind == Installer::Status::Kind::awaitingTrust;
    });
    return !anyInstalled || settingsVariable == QLatin1String("1");
}

void DesktopShell::openSettings() {
    m_core.installer().refresh();
    emit settingsRequested();
    if (settingsOpener)
        settingsOpener();
}

void DesktopShell::installShortcuts(QWidget& window) {
    MainMenu::install(window, [this] { quit(); });
}

void DesktopShell::quit() {
    QCoreApplication::quit();
}
