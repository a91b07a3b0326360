#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>
#include <optional>

/// Reads a shell command line the way the shell splits it, far enough to tell a plain list of simple commands
/// from anything that could write or run something the words do not show. Pure functions.
class ShellCommand final {
public:
    /// One simple command: its words with quotes and escapes removed, allowed redirections dropped.
    struct Simple {
        QStringList words;
        /// A word holds a parameter expansion or ANSI-C quoting, so its value is not what is written.
        bool expands = false;
    };

    /// The simple commands of a list or pipeline, split at |, |&, ||, && and ; outside quotes. Nothing when the
    /// text is more than that: a line break, a background &, command or process substitution, a here-document,
    /// a subshell, an unbalanced quote, or a redirection other than to exactly /dev/null or a descriptor
    /// duplication (2>&1). Empty commands between separators are left out.
    static std::optional<QList<Simple>> plainList(QStringView text);

    /// Whether the command carries an option known to write a file or run a command: find -delete or -exec,
    /// git --output, git branch that deletes, moves, copies, creates or repoints a branch, git remote other than
    /// show and get-url, rg --pre, date --set, env with a command. Only these commands are checked; on them,
    /// an expanded word counts as writing since its value is unknown.
    static bool writesOrRuns(const Simple& command);
};
