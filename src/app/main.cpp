#include "AppCore.h"
#include "cli/AssessCommand.h"
#include "cli/HooksCommand.h"
#include "support/AppIdentity.h"
#include "support/QuitSignals.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#ifdef VORLIX_DESKTOP
#include "notify/NotificationCenter.h"
#include "settings/SettingsWindow.h"
#include "shell/DesktopShell.h"
#include "shell/DisplayEnvironment.h"

#include <QApplication>
#include <memory>
#endif

namespace {
// Subcommands build only what they need: never a store or a server, which would take the socket away
// from a running application.
int runCommand(const QString& command, const QStringList& rest) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (command == QLatin1String("assess"))
        return AssessCommand::run(rest, out, err);
    return HooksCommand::run(QStringList{command} + rest, out, err);
}

void connectQuit(QCoreApplication& app, AppCore& core, QuitSignals& quitSignals) {
    QObject::connect(&quitSignals, &QuitSignals::received, &app, [] { QCoreApplication::quit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &core, [&core] { core.shutdown(); });
}

int runEngine(QCoreApplication& app) {
    AppCore core;
    QuitSignals quitSignals;
    connectQuit(app, core, quitSignals);
    // Without a display there is no screen to measure: the no-notch values.
    core.start(false, 0, 32, 0);
    return app.exec();
}

#ifdef VORLIX_DESKTOP
int runDesktop(int argc, char** argv) {
    if (DisplayEnvironment::shouldForceXcb(QProcessEnvironment::systemEnvironment()))
        qputenv("QT_QPA_PLATFORM", "xcb");
    NotificationCenter::preventAutolaunch();
    QApplication app(argc, argv);
    AppIdentity::apply();
    // A tray application: no window is needed to keep running.
    QApplication::setQuitOnLastWindowClosed(false);
    AppCore core;
    QuitSignals quitSignals;
    connectQuit(app, core, quitSignals);
    DesktopShell shell(core);
    // Made on first use, then only hidden and shown again.
    std::unique_ptr<SettingsWindow> settings;
    shell.settingsOpener = [&core, &shell, &settings] {
        if (!settings) {
            settings = std::make_unique<SettingsWindow>(core);
            shell.installShortcuts(*settings);
        }
        settings->open();
    };
    shell.start();
    return app.exec();
}
#endif

void printUsage() {
    std::fputs("usage: VorlixAgents [--headless]\n"
               "       VorlixAgents assess TOOL DETAIL [CWD]\n"
               "       VorlixAgents hooks\n"
               "       VorlixAgents install|uninstall claude|codex|grok|kiro\n"
               "       VorlixAgents evict NAME AGENT\n",
               stderr);
}
} // namespace

int main(int argc, char** argv) {
#ifdef VORLIX_DESKTOP
    if (argc == 1 && DisplayEnvironment::hasDisplay(QProcessEnvironment::systemEnvironment()))
        return runDesktop(argc, argv);
#endif
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--headless"))
        return runEngine(app);
    const QString command = args.takeFirst();
    static const QStringList commands = {"assess", "hooks", "install", "uninstall", "evict"};
    if (!commands.contains(command)) {
        printUsage();
        return 2;
    }
    return runCommand(command, args);
}
