#include "AppCore.h"
#include "Paths.h"
#include "cli/CommandLine.h"
#include "hookserver/GateLog.h"
#include "hookserver/InstanceProbe.h"
#include "phone/PairingAddresses.h"
#include "phone/TerminalQr.h"
#include "support/AppIdentity.h"
#include "support/ControlChannel.h"
#include "support/QuitSignals.h"

#include <QCoreApplication>
#include <QTextStream>
#include <optional>
#include <unistd.h>

#ifdef VORLIX_DESKTOP
#include "notify/NotificationCenter.h"
#include "settings/SettingsWindow.h"
#include "shell/DesktopShell.h"
#include "shell/DisplayEnvironment.h"

#include <QApplication>
#include <memory>
#endif

namespace {
// A second copy must not take the socket over: the first would run on, deaf, and every hook fail open unseen.
// Returns the exit status when another instance holds the socket.
std::optional<int> alreadyRunning(bool desktop) {
    const InstanceProbe::Result there = InstanceProbe::probe(Vorlix::socketPath());
    if (there.state != InstanceProbe::State::running)
        return std::nullopt;
    const QString running = QStringLiteral("Vorlix Agents is already running (pid %1)").arg(there.pid);
    QTextStream err(stderr);
    if (desktop) {
        const QString reply = ControlChannel::ask(QStringLiteral("settings"));
        if (reply == QLatin1String("ok")) {
            err << running << "; its settings window is open\n";
            return 0;
        }
        if (reply == QLatin1String("no-window")) {
            err << running << " without a display; stop it to start the desktop application\n";
            return 1;
        }
    }
    err << running << '\n';
    return 1;
}

void connectQuit(QCoreApplication& app, AppCore& core, QuitSignals& quitSignals) {
    QObject::connect(&quitSignals, &QuitSignals::received, &app, [] { QCoreApplication::quit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &core, [&core] { core.shutdown(); });
}

int runEngine(QCoreApplication& app) {
    if (const std::optional<int> status = alreadyRunning(false))
        return *status;
    AppCore core;
    QuitSignals quitSignals;
    connectQuit(app, core, quitSignals);
    GateLog gateLog(core.store());
    // Without a display there is no screen to measure: the no-notch values.
    core.start(false, 0, 32, 0);
    // The first address URL needs no mDNS on the phone's network.
    if (core.remote().enabled() && ::isatty(STDOUT_FILENO) == 1) {
        const QStringList urls = PairingAddresses::urls(core.remote());
        QTextStream out(stdout);
        out << TerminalQr::render(urls.value(1, urls.first())) << urls.value(1, urls.first()) << '\n';
    }
    return app.exec();
}

#ifdef VORLIX_DESKTOP
int runDesktop(int argc, char** argv) {
    if (DisplayEnvironment::shouldForceXcb(QProcessEnvironment::systemEnvironment()))
        qputenv("QT_QPA_PLATFORM", "xcb");
    NotificationCenter::preventAutolaunch();
    QApplication app(argc, argv);
    AppIdentity::apply();
    if (const std::optional<int> status = alreadyRunning(true))
        return *status;
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
    QObject::connect(&core.control(), &ControlChannel::settingsRequested, &app, [&shell] { shell.openSettings(); });
    shell.start();
    return app.exec();
}
#endif
} // namespace

int main(int argc, char** argv) {
#ifdef VORLIX_DESKTOP
    if (argc == 1 && DisplayEnvironment::hasDisplay(QProcessEnvironment::systemEnvironment()))
        return runDesktop(argc, argv);
#endif
    QCoreApplication app(argc, argv);
    AppIdentity::apply();
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args == QStringList{QStringLiteral("--headless")})
        return runEngine(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return CommandLine::run(args, QStringLiteral(VORLIX_VERSION), out, err);
}
