#pragma once

#include "prefs/LoginItem.h"
#include "support/JsonFile.h"
#include <cstdint>

#include <QObject>
#include <QString>
#include <array>

/// The user's settings, kept in a typed JSON file (~/.config/vorlix-agents/preferences.json) under keys
/// named like the properties. An absent key or one of another type reads as the default and stays untouched
/// until that setting is changed. Every assignment writes its key; only the notification waits for a real change.
class Prefs final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Prefs)
    Q_PROPERTY(bool soundEnabled READ soundEnabled WRITE setSoundEnabled NOTIFY soundEnabledChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(int autoApproveLevel READ autoApproveLevel WRITE setAutoApproveLevel NOTIFY autoApproveLevelChanged)
    Q_PROPERTY(
        bool notifyWhenFinished READ notifyWhenFinished WRITE setNotifyWhenFinished NOTIFY notifyWhenFinishedChanged)
    Q_PROPERTY(bool notifyWhenWaiting READ notifyWhenWaiting WRITE setNotifyWhenWaiting NOTIFY notifyWhenWaitingChanged)

public:
    /// One choice of the auto-approve picker.
    struct Level {
        int value;
        const char* label;
        const char* description;
    };
    /// -1 "Ask about everything", 0 "Auto-approve read-only", 1 "Trusted (gate only risky)".
    static const std::array<Level, 3>& levels();
    /// The description shown under the picker; any value but -1 and 1 shows that of 0.
    static QString levelDescription(int value);

    /// Reads the file once; writes nothing and registers nothing.
    explicit Prefs(QString path = defaultPath(), QString autostartFolder = LoginItem::defaultFolder(),
                   QObject* parent = nullptr);

    /// preferences.json in the application's XDG config folder.
    static QString defaultPath();
    const QString& path() const { return m_file.path(); }

    bool soundEnabled() const { return m_soundEnabled; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    /// Highest risk rank approved without asking: -1, 0 or 1 (a stored value outside reads as the nearest).
    int autoApproveLevel() const { return m_autoApproveLevel; }
    /// A desktop notification when an agent finishes its turn.
    bool notifyWhenFinished() const { return m_notifyWhenFinished; }
    /// A desktop notification when an agent waits in its own terminal (its dialog, or for a new prompt).
    bool notifyWhenWaiting() const { return m_notifyWhenWaiting; }

    void setSoundEnabled(bool on);
    /// Also registers or unregisters the autostart entry, every time; a failure only logs a line.
    void setLaunchAtLogin(bool on);
    /// Kept within -1…1.
    void setAutoApproveLevel(int level);
    void setNotifyWhenFinished(bool on);
    void setNotifyWhenWaiting(bool on);
    /// Takes the values another reading of the file found, without writing it; registers launch at login when
    /// that changed. The changes in words ("autoApproveLevel 0 -> 1"), empty when nothing changed.
    QString adopt(const Prefs& read);

signals:
    void soundEnabledChanged(bool on);
    void launchAtLoginChanged(bool on);
    void autoApproveLevelChanged(int level);
    void notifyWhenFinishedChanged(bool on);
    void notifyWhenWaitingChanged(bool on);

private:
    void save(const char* key, const nlohmann::json& value);
    void setSwitch(bool Prefs::*field, void (Prefs::*changed)(bool), const char* key, bool on);
    static int clampLevel(std::int64_t level);

    JsonFile m_file;
    LoginItem m_loginItem;
    bool m_soundEnabled = true;
    bool m_launchAtLogin = false;
    int m_autoApproveLevel = 0;
    bool m_notifyWhenFinished = true;
    bool m_notifyWhenWaiting = true;
};
