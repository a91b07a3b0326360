#pragma once

#include <QStringList>
#include <QTextStream>

/// The subcommands, their help and the version. Subcommands build only what they need: never a store or a
/// server, which would take the socket away from a running application.
class CommandLine final {
public:
    /// args without the program name, args[0] the command. 0 on success, 1 on failure, 2 on a usage error.
    static int run(const QStringList& args, const QString& version, QTextStream& out, QTextStream& err);
    /// One line per command with what it does.
    static QString usage();
};
