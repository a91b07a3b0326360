#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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

    /// How the entry starts `executable`: by its bare name when that name on `searchPath` is this very file (an
    /// installed program, which an upgrade replaces in place), else by its absolute path.
    static QString launchCommand(const QString& executable, const QStringList& searchPath);

private:
    QString m_folder;
};
