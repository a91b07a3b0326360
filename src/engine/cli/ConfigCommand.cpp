#include "cli/ConfigCommand.h"

#include "prefs/Prefs.h"

#include <QFileInfo>
#include <QMap>
#include <optional>

namespace {

std::optional<bool> boolean(const QString& text) {
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

QString words(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

void list(const Prefs& prefs, QTextStream& out) {
    const auto line = [&](const char* name, const QString& value, const char* meaning) {
        out << QStringLiteral("%1 %2  %3").arg(QLatin1String(name), -18).arg(value, -5).arg(QLatin1String(meaning));
    };
    line("soundEnabled", words(prefs.soundEnabled()), "8-bit cue when an agent needs you (true or false)\n");
    line("launchAtLogin", words(prefs.launchAtLogin()), "start Vorlix Agents when you log in (true or false)\n");
    line("notifyWhenFinished", words(prefs.notifyWhenFinished()),
         "desktop notification when an agent finishes (true or false)\n");
    line("notifyWhenWaiting", words(prefs.notifyWhenWaiting()),
         "desktop notification when an agent waits for you (true or false)\n");
    line("autoApproveLevel", QString::number(prefs.autoApproveLevel()), "highest risk rank approved without asking:");
    for (const Prefs::Level& level : Prefs::levels())
        out << QStringLiteral("\n%1%2  %3").arg(QString(21, ' ')).arg(level.value, 2).arg(level.label);
    out << '\n'
        << QStringLiteral("File: %1%2\n")
               .arg(prefs.path(), QFileInfo::exists(prefs.path()) ? QString() : QStringLiteral(" (not yet written)"));
}

} // namespace

int ConfigCommand::run(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (args.isEmpty()) {
        Prefs prefs;
        list(prefs, out);
        out.flush();
        return 0;
    }
    if (args.size() != 3 || args.first() != QLatin1String("set")) {
        err << "usage: VorlixAgents config [set NAME VALUE]\n";
        err.flush();
        return 2;
    }
    const QString& name = args.at(1);
    const QString& value = args.at(2);
    Prefs prefs;
    const QMap<QString, void (Prefs::*)(bool)> switches{
        {QStringLiteral("soundEnabled"), &Prefs::setSoundEnabled},
        {QStringLiteral("launchAtLogin"), &Prefs::setLaunchAtLogin},
        {QStringLiteral("notifyWhenFinished"), &Prefs::setNotifyWhenFinished},
        {QStringLiteral("notifyWhenWaiting"), &Prefs::setNotifyWhenWaiting},
    };
    bool ok = false;
    if (name == QLatin1String("autoApproveLevel")) {
        const int level = value.toInt(&ok);
        ok = ok && level >= -1 && level <= 1;
        if (ok)
            prefs.setAutoApproveLevel(level);
        else
            err << "VorlixAgents config: autoApproveLevel takes -1, 0 or 1, not '" << value << "'\n";
    } else if (const auto setter = switches.find(name); setter != switches.end()) {
        const std::optional<bool> on = boolean(value);
        ok = on.has_value();
        if (ok)
            (prefs.*setter.value())(*on);
        else
            err << "VorlixAgents config: " << name << " takes true or false, not '" << value << "'\n";
    } else {
        err << "VorlixAgents config: unknown preference '" << name << "'; one of "
            << QStringList(switches.keys() << QStringLiteral("autoApproveLevel")).join(QStringLiteral(", ")) << '\n';
    }
    err.flush();
    if (!ok)
        return 2;
    // The setters log a line when the file cannot be written; the file tells whether it was.
    Prefs reread;
    const bool written = QFileInfo::exists(prefs.path()) && reread.autoApproveLevel() == prefs.autoApproveLevel() &&
                         reread.soundEnabled() == prefs.soundEnabled() &&
                         reread.launchAtLogin() == prefs.launchAtLogin() &&
                         reread.notifyWhenFinished() == prefs.notifyWhenFinished() &&
                         reread.notifyWhenWaiting() == prefs.notifyWhenWaiting();
    if (!written) {
        err << "VorlixAgents config: could not write " << prefs.path() << '\n';
        err.flush();
        return 1;
    }
    out << name << " = " << value << '\n';
    out.flush();
    return 0;
}
