#include "shell/TrayIcon.h"

#include "kit/Palette.h"
#include "sprites/MenuBarIcon.h"
#include "support/Log.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPalette>

TrayIcon::TrayIcon(std::function<bool()> available, int retryIntervalMs, QObject* parent)
    : QObject(parent), m_available(std::move(available)) {
    QAction* settings = m_menu.addAction(QStringLiteral("Settings\u2026"), this, &TrayIcon::settingsRequested);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit Vorlix Agents"), this, &TrayIcon::quitRequested);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_tray.setContextMenu(&m_menu);
    // A plain click opens the same menu, as a status item does; the context click already shows it.
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu.popup(QCursor::pos());
    });
    m_tray.setToolTip(QStringLiteral("Vorlix Agents"));
    m_tray.setIcon(MenuBarIcon::icon(iconColor()));
    m_retry.setInterval(retryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, &TrayIcon::attempt);
}

QColor TrayIcon::iconColor() {
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5 ? Palette::text() : QColor::fromRgbF(0, 0, 0, 0.88f);
}

void TrayIcon::show() {
    m_attempts = 0;
    attempt();
}

void TrayIcon::attempt() {
    if (m_available()) {
        m_retry.stop();
        m_tray.show();
        return;
    }
    ++m_attempts;
    if (m_attempts == attemptsBeforeLog)
        Log::line(QStringLiteral("Vorlix Agents: no system tray yet; still watching for one"));
    if (!m_retry.isActive())
        m_retry.start();
}
