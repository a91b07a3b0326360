#pragma once

#include "installer/Installer.h"
#include "panel/NotchGeometry.h"

#include <QObject>
#include <functional>
#include <memory>

class AppCore;
class GateNotifier;
class NotchPanel;
class NotificationCenter;
class SessionNotifier;
class SoundEngine;
class TrayIcon;
class QWidget;

/// The desktop's delegate: hangs sound, tray, menus, notifications and the notch panel on AppCore's signals,
/// starts the core and opens the settings window on a first run.
class DesktopShell final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopShell)

public:
    explicit DesktopShell(AppCore& core, QObject* parent = nullptr);
    ~DesktopShell() override;

    /// The panel, cues, the core's start-up, the first-run step, then tray and notifications. Runs once.
    void start();
    /// Refreshes the installer's statuses, then shows the settings window through settingsOpener.
    void openSettings();
    /// The first-run step: open when no agent has its hooks installed (also when none is found), or when
    /// VORLIX_SETTINGS is exactly "1".
    static bool opensSettingsAtStart(const QList<Installer::Agent>& agents, const QString& settingsVariable);
    /// Gives a window the Ctrl shortcuts (quit, edit commands).
    void installShortcuts(QWidget& window);
    void quit();

    /// How the settings window is shown; set by whoever builds that window.
    std::function<void()> settingsOpener;

    AppCore& core() { return m_core; }
    SoundEngine& sound() { return *m_sound; }
    /// The status item; absent until the event loop's first turn after start().
    TrayIcon* tray() { return m_tray.get(); }
    /// Absent, like the tray, until the loop's first turn after start().
    NotificationCenter* notifications() { return m_notifications.get(); }
    /// The island at the top of the screen; absent, like the tray, until the loop's first turn after start().
    NotchPanel* panel() { return m_panel.get(); }

signals:
    /// Every time the settings window is asked for.
    void settingsRequested();

private:
    void startDesktopServices();

    AppCore& m_core;
    std::unique_ptr<SoundEngine> m_sound;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<NotificationCenter> m_notifications;
    std::unique_ptr<GateNotifier> m_gateNotifier;
    std::unique_ptr<SessionNotifier> m_sessionNotifier;
    std::unique_ptr<NotchPanel> m_panel;
    NotchGeometry m_geo;
    bool m_started = false;
};
