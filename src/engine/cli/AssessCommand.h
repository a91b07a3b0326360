#pragma once

#include <QStringList>
#include <QTextStream>

/// `VorlixAgents assess TOOL DETAIL [CWD]`: prints the risk verdict of one call as a JSON line, so users can
/// see why a command is held.
class AssessCommand final {
public:
    /// `args` are the words after "assess". Returns the exit status: 0, or 2 with a usage line on `err`.
    static int run(const QStringList& args, QTextStream& out, QTextStream& err);
};
