#pragma once

#include <QStringList>
#include <QTextStream>

/// The preferences on the command line:
///   config                    each preference, its value and what it means
///   config set NAME VALUE     validated, written atomically; a running application applies it within a second
class ConfigCommand final {
public:
    /// args follow "config". Returns 0, 1 when the file cannot be written, 2 on a usage error.
    static int run(const QStringList& args, QTextStream& out, QTextStream& err);
};
