#include "cli/HooksCommand.h"

#include "Paths.h"
#include "hookserver/InstanceProbe.h"
#include "installer/Installer.h"

#include <optional>

namespace {

enum class Verb { hooks, install, uninstall, evict };

struct Request {
    Verb verb;
    Vorlix::Source source = Vorlix::Source::claude;
    QString name;
    bool force = false;
};

std::optional<Vorlix::Source> sourceArg(const QString& text) {
    return Vorlix::sourceFromRaw(text.toStdString());
}

std::optional<Request> parse(QStringList args) {
    if (args.isEmpty())
        return std::nullopt;
    const QString verb = args.first();
    const qsizetype forces = verb == QLatin1String("install") ? args.removeAll(QStringLiteral("--force")) : 0;
    if (forces > 1)
        return std::nullopt;
    const bool force = forces == 1;
    if (verb == QLatin1String("hooks") && args.size() == 1)
        return Request{Verb::hooks, Vorlix::Source::claude, {}};
    if ((verb == QLatin1String("install") || verb == QLatin1String("uninstall")) && args.size() == 2) {
        if (auto source = sourceArg(args[1]))
            return Request{verb == QLatin1String("install") ? Verb::install : Verb::uninstall, *source, {}, force};
        return std::nullopt;
    }
    if (verb == QLatin1String("evict") && args.size() == 3 && !args[1].isEmpty()) {
        if (auto source = sourceArg(args[2]))
            return Request{Verb::evict, *source, args[1]};
    }
    return std::nullopt;
}

} // namespace

int HooksCommand::run(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (!parse(args)) {
        printUsage(err, args.value(0));
        return 2;
    }
    Installer installer;
    return run(args, out, err, installer);
}

int HooksCommand::run(const QStringList& args, QTextStream& out, QTextStream& err, Installer& installer) {
    const std::optional<Request> request = parse(args);
    if (!request) {
        printUsage(err, args.value(0));
        return 2;
    }
    Installer::MaybeErr failure;
    switch (request->verb) {
    case Verb::hooks:
        out << InstanceProbe::statusLine(InstanceProbe::probe(Vorlix::socketPath())) << '\n';
        installer.refresh();
        for (const Installer::Agent& agent : installer.agents()) {
            out << QStringLiteral("%1  %2  %3")
                       .arg(QString::fromUtf8(Vorlix::rawValue(agent.id)), -6)
                       .arg(agent.name, -11)
                       .arg(agent.status.statusText())
                << '\n';
        }
        out.flush();
        return 0;
    case Verb::install:
        failure = installer.install(request->source, request->force);
        break;
    case Verb::uninstall:
        failure = installer.uninstall(request->source);
        break;
    case Verb::evict:
        failure = installer.evict(request->name, request->source);
        break;
    }
    QTextStream& stream = failure ? err : out;
    stream << installer.lastMessage() << '\n';
    stream.flush();
    return failure ? 1 : 0;
}

void HooksCommand::printUsage(QTextStream& err, const QString& verb) {
    if (verb == QLatin1String("hooks"))
        err << "usage: VorlixAgents hooks   (takes no arguments)\n";
    else if (verb == QLatin1String("evict"))
        err << "usage: VorlixAgents evict NAME AGENT   (NAME as hooks shows it; AGENT one of claude, codex, grok)\n";
    else
        err << "usage: VorlixAgents " << verb << (verb == QLatin1String("install") ? " [--force]" : "")
            << " AGENT   (AGENT one of claude, codex, grok)\n";
    err.flush();
}
