#include "cli/CommandLine.h"

#include "cli/AssessCommand.h"
#include "cli/ConfigCommand.h"
#include "cli/HooksCommand.h"

int CommandLine::run(const QStringList& args, const QString& version, QTextStream& out, QTextStream& err) {
    const QString command = args.value(0);
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("help") || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        out << usage();
        out.flush();
        return 0;
    }
    if (command == QLatin1String("version") || command == QLatin1String("--version")) {
        out << "VorlixAgents " << version << '\n';
        out.flush();
        return 0;
    }
    if (command == QLatin1String("--headless")) {
        err << "usage: VorlixAgents --headless   (takes no arguments)\n";
        err.flush();
        return 2;
    }
    if (command == QLatin1String("assess"))
        return AssessCommand::run(rest, out, err);
    if (command == QLatin1String("config"))
        return ConfigCommand::run(rest, out, err);
    static const QStringList installer = {"hooks", "install", "uninstall", "evict"};
    if (installer.contains(command))
        return HooksCommand::run(args, out, err);
    err << "VorlixAgents: unknown command '" << command << "'\n" << usage();
    err.flush();
    return 2;
}

QString CommandLine::usage() {
    return QStringLiteral(
        "usage: VorlixAgents [COMMAND]\n"
        "  (none)                    the tray application; without a display the same as --headless\n"
        "  --headless                listen, gate and journal without a display (Ctrl-C or SIGTERM quits)\n"
        "  hooks                     whether the application runs, and each agent's hooks\n"
        "  install [--force] AGENT   hook AGENT (claude, codex or grok) up to Vorlix Agents; --force when\n"
        "                            AGENT is not on this machine yet (no folder, no program on PATH)\n"
        "  uninstall AGENT           remove Vorlix Agents' hooks from AGENT\n"
        "  evict NAME AGENT          remove another tool's hooks from AGENT (NAME as hooks shows it)\n"
        "  assess TOOL DETAIL [CWD]  the risk rating of a tool call, as JSON (level 0-3 and reasons)\n"
        "  config                    the preferences, their values and meanings\n"
        "  config set NAME VALUE     change a preference; a running application applies it at once\n"
        "  help, --help, -h          this text\n"
        "  version, --version        the version\n");
}
