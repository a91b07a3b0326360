#pragma once

#include <QByteArray>
#include <QString>

/// Starting the application at login: an XDG autostart entry, written to register and removed to unregister.
class LoginItem final {
public:
    static constexpr const char* entryName = "vorlix-agents.desktop";

    /// `folder` defaults to ~/.config/autostart (the XDG config folder's "autostart").
    explicit LoginItem(QString folder = defaultFolder());

    static QString defaultFolder();
    QString entryPath() const;
    bool isRegistered() const;

    /// Writes the entry (again, when it exists) for this executable, or removes it. On failure returns false
    /// and puts a description in *error.
    bool setRegistered(bool registered, QString* error) const;

    /// The entry's text; empty when the path cannot be written as an Exec key (a control character).
    static QByteArray desktopEntry(const QString& executable);

private:
    QString m_folder;
};
