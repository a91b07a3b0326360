#pragma once

#include <QStringList>
#include <QTextStream>

class Installer;

/// The installer on the command line, for machines without a display:
///   hooks                       whether the application runs, then each agent and the state of its hook
///   install [--force] AGENT     AGENT is claude, codex, grok or kiro; --force when it is not on this machine
///   uninstall AGENT
///   evict NAME AGENT            removes a foreign tool's hooks, NAME as "hooks" shows it
class HooksCommand final {
public:
    /// args[0] is the subcommand. Returns 0 on success, 1 when the installer reports a failure or found nothing to
    /// do, 2 on a usage error.
    static int run(const QStringList& args, QTextStream& out, QTextStream& err);
    /// Same, with the installer given.
    static int run(const QStringList& args, QTextStream& out, QTextStream& err, Installer& installer);
    /// What `verb` expects.
    static void printUsage(QTextStream& err, const QString& verb);
};
