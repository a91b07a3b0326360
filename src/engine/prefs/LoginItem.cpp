#include "prefs/LoginItem.h"

#include "support/FileIO.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace {

// Exec quoting of the desktop entry format: a reserved character makes the argument quoted, and inside quotes
// '"', '`', '$' and '\' take a backslash; '%' is doubled. The key's value then escapes each backslash again.
QString execArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    const bool quote = std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); });
    QString out;
    for (QChar c : path) {
        if (c == QLatin1Char('%')) {
            out += QStringLiteral("%%");
            continue;
        }
        if (quote &&
            (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')))
            out += QLatin1Char('\\');
        out += c;
    }
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return quote ? QLatin1Char('"') + out + QLatin1Char('"') : out;
}

} // namespace

LoginItem::LoginItem(QString folder) : m_folder(std::move(folder)) {}

QString LoginItem::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString LoginItem::entryPath() const {
    return m_folder + QLatin1Char('/') + QLatin1String(entryName);
}

bool LoginItem::isRegistered() const {
    return QFileInfo(entryPath()).isFile();
}

QString LoginItem::launchCommand(const QString& executable, const QStringList& searchPath) {
    const QFileInfo self(executable);
    const QString found = QStandardPaths::findExecutable(self.fileName(), searchPath);
    if (!found.isEmpty() && !self.canonicalFilePath().isEmpty() &&
        QFileInfo(found).canonicalFilePath() == self.canonicalFilePath())
        return self.fileName();
    return executable;
}

QByteArray LoginItem::desktopEntry(const QString& executable) {
    if (std::any_of(executable.begin(), executable.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return {};
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Vorlix Agents\n"
                                        "Comment=Start Vorlix Agents automatically.\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(execArgument(executable));
    return text.toUtf8();
}

bool LoginItem::setRegistered(bool registered, QString* error) const {
    const QString path = entryPath();
    if (!registered) {
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return true;
        QFile entry(path);
        if (entry.remove())
            return true;
        if (error != nullptr)
            *error = QStringLiteral("cannot remove %1: %2").arg(path, entry.errorString());
        return false;
    }
    const QString executable = QCoreApplication::applicationFilePath();
    if (executable.isEmpty()) {
        if (error != nullptr)
            *error = QStringLiteral("the application's executable path is unknown");
        return false;
    }
    const QStringList searchPath = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const QByteArray text = desktopEntry(launchCommand(executable, searchPath));
    if (text.isEmpty()) {
        if (error != nullptr)
            *error = QStringLiteral("the executable path holds a control character: ") + executable;
        return false;
    }
    QString reason;
    if (!FileIO::writeAtomically(path, text, &reason)) {
        if (error != nullptr)
            *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
        return false;
    }
    return true;
}
