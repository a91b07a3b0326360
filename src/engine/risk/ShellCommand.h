#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>
#include <optional>

/// Reads a shell command line the way the shell splits it, far enough to tell a plain list of simple commands
/// from anything that could write or run something the words do not show. Pure functions.
class ShellCommand final {
public:
    /// A word with quotes and escapes removed. Opaque when its value is not what is written: it holds an
    /// expansion, a substitution, an unquoted glob character or an unquoted brace expansion.
    struct Word {
        QString text;
        bool opaque = false;
        bool operator==(const Word&) const = default;
    };

    /// One simple command: its words (allowed redirections dropped) and the targets of its output redirections.
    struct Simple {
        QStringList words;
        /// One entry per word.
        QList<bool> opaque;
        /// Only `script` fills these; `plainList` admits no redirection that writes.
        QList<Word> outputs;
    };

    /// The simple commands of a list or pipeline, split at |, |&, ||, && and ; outside quotes. Nothing when the
    /// text is more than that: a line break, a background &, command or process substitution, a here-document,
    /// a subshell, an unbalanced quote, a redirection other than to exactly /dev/null or a descriptor
    /// duplication (2>&1), a parameter expansion other than $NAME or ${NAME}, or $[…]. Empty commands between
    /// separators and comments are left out.
    static std::optional<QList<Simple>> plainList(QStringView text);

    /// Every simple command of a script as far as the words show: line breaks, background jobs and subshell
    /// parentheses separate commands, substitutions make their word opaque, here-document bodies are skipped,
    /// every output redirection is kept. Nothing only for an unbalanced quote or substitution.
    static std::optional<QList<Simple>> script(QStringView text);

    /// Whether the command could do more than read: an option known to write a file or run a command (find
    /// -delete or -exec, git --output, git branch that changes branches, rg --pre, date --set, env with a
    /// command), a git command that reaches the network (a URL argument, git remote other than listing), or an
    /// opaque word on a command that has such options (after "--" git and rg take only paths).
    static bool writesOrRuns(const Simple& command);

    /// The paths the command writes: its output redirections and the destination of tee, cp, mv, install, ln,
    /// rsync and dd of=.
    static QList<Word> destinations(const Simple& command);
};
