#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

/// The status item: the creature icon with "Settings…" and "Quit Vorlix Agents". Desktops without a tray
/// host yet (one that starts after us, or none at all) are retried on a timer; start-up never waits.
class TrayIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)

public:
    static constexpr int retryMs = 1000;
    static constexpr int attemptsBeforeLog = 30;

    /// available answers whether a tray host exists now; tests replace it and the retry interval.
    explicit TrayIcon(std::function<bool()> available = &QSystemTrayIcon::isSystemTrayAvailable,
                      int retryIntervalMs = retryMs, QObject* parent = nullptr);

    /// Shows the icon now or keeps trying.
    void show();
    bool visible() const { return m_tray.isVisible(); }
    bool retrying() const { return m_retry.isActive(); }
    QMenu& menu() { return m_menu; }
    /// A light icon on dark trays, a dark one on light trays, judged by the application's palette.
    static QColor iconColor();

signals:
    void settingsRequested();
    void quitRequested();

private:
    void attempt();

    std::function<bool()> m_available;
    QMenu m_menu;
    QSystemTrayIcon m_tray;
    QTimer m_retry;
    int m_attempts = 0;
};
