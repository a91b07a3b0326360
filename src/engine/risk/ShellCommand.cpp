#include "risk/ShellCommand.h"

#include <algorithm>

namespace {

bool isLineBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isDigits(const QString& word) {
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
}

bool isNameStart(QChar c) {
    return c == u'_' || (c.unicode() < 128 && c.isLetter());
}

// ${NAME}, ${1} or a special parameter: anything else (defaults, substrings, subscripts, @P, indirection) can
// assign, evaluate arithmetic or run a command hidden in a value.
bool isPlainParameter(QStringView inside) {
    if (inside.isEmpty())
        return false;
    if (inside.size() == 1 && QStringView(u"@*#?$!-0123456789").contains(inside[0]))
        return true;
    if (std::all_of(inside.begin(), inside.end(), [](QChar c) { return c.isDigit(); }))
        return true;
    return isNameStart(inside[0]) &&
           std::all_of(inside.begin(), inside.end(), [](QChar c) { return isNameStart(c) || c.isDigit(); });
}

/// One pass over the text, word by word, as the shell tokenises it. Strict reading refuses anything beyond a
/// plain list; lenient reading (a whole script) goes on where it can and only records what it cannot see into.
class Reader {
public:
    Reader(QStringView text, bool lenient) : m_text(text), m_lenient(lenient) {}

    std::optional<QList<ShellCommand::Simple>> run() {
        if (!m_lenient && std::any_of(m_text.begin(), m_text.end(), [](QChar c) { return isLineBreak(c.unicode()); }))
            return std::nullopt;
        for (qsizetype i = 0; i < m_text.size(); ++i) {
            i = step(i);
            if (i < 0)
                return std::nullopt;
        }
        if (!endWord() || !endCommand())
            return std::nullopt;
        return m_commands;
    }

private:
    enum class Target { none, file, fileOrDescriptor, hereDocument };

    QChar at(qsizetype i) const { return i < m_text.size() ? m_text[i] : QChar(); }

    void addToWord(QStringView part) {
        m_word += part;
        m_inWord = true;
    }

    // Consumes the character at i (and any it introduces); returns the index of the last one consumed, or -1
    // when the text is more than this reading admits.
    qsizetype step(qsizetype i) {
        const char16_t c = m_text[i].unicode();
        const char16_t next = at(i + 1).unicode();
        if (isLineBreak(c))
            return endWord() && endCommand() ? hereDocuments(i) : -1;
        switch (c) {
        case u' ':
        case u'\t':
            return endWord() ? i : -1;
        case u'#':
            if (m_inWord)
                break;
            // A comment runs to the end of the line.
            while (i + 1 < m_text.size() && !isLineBreak(m_text[i + 1].unicode()))
                ++i;
            return i;
        case u'\'': {
            const qsizetype close = m_text.indexOf(u'\'', i + 1);
            if (close < 0)
                return -1;
            addToWord(m_text.sliced(i + 1, close - i - 1));
            m_quoted = true;
            return close;
        }
        case u'"':
            return doubleQuoted(i);
        case u'\\':
            if (i + 1 >= m_text.size())
                return -1;
            addToWord(m_text.sliced(i + 1, 1));
            m_quoted = true;
            return i + 1;
        case u'`':
            return m_lenient ? substitution(i) : -1;
        case u'(':
        case u')':
            // A subshell or a group: its commands are read as ours.
            return m_lenient && endWord() && endCommand() ? i : -1;
        case u'$':
            return dollar(i, next);
        case u';':
            return endWord() && endCommand() ? i : -1;
        case u'|':
            if (!endWord() || !endCommand())
                return -1;
            return next == u'|' || next == u'&' ? i + 1 : i;
        case u'&':
            if (next == u'&')
                return endWord() && endCommand() ? i + 1 : -1;
            if (next != u'>') // a background job
                return m_lenient && endWord() && endCommand() ? i : -1;
            if (!endWord() || m_target != Target::none)
                return -1;
            m_target = Target::file;
            m_output = true;
            return at(i + 2) == u'>' ? i + 2 : i + 1;
        case u'<':
        case u'>':
            return redirection(i, c, next);
        case u'*':
        case u'?':
        case u'[':
            m_opaque = true;
            break;
        case u'{':
            m_braceOpen = true;
            break;
        case u'}':
            m_opaque |= m_braceOpen;
            break;
        default:
            break;
        }
        addToWord(m_text.sliced(i, 1));
        return i;
    }

    // $NAME and ${NAME} keep their text and make the word opaque; other expansions are refused (strict) or
    // skipped (lenient).
    qsizetype dollar(qsizetype i, char16_t next) {
        if (next == u'(')
            return m_lenient ? substitution(i + 1) : -1;
        if (next == u'\'')
            return ansiQuoted(i + 1);
        m_opaque = true;
        if (next == u'"') // translated through the locale's catalogue
            return doubleQuoted(i + 1);
        if (next == u'[')
            return m_lenient ? skipTo(i + 1, u']') : -1;
        if (next == u'{') {
            const qsizetype close = m_text.indexOf(u'}', i + 2);
            if (close < 0)
                return -1;
            if (!m_lenient && !isPlainParameter(m_text.sliced(i + 2, close - i - 2)))
                return -1;
            addToWord(m_text.sliced(i, close - i + 1));
            return close;
        }
        addToWord(u"$");
        return i;
    }

    qsizetype skipTo(qsizetype open, char16_t close) {
        const qsizetype end = m_text.indexOf(close, open + 1);
        if (end < 0)
            return -1;
        addToWord(m_text.sliced(open - 1, end - open + 2));
        return end;
    }

    // $(…), `…`, <(…) or >(…): what runs inside is not read here; the word it makes is opaque and keeps the
    // text, so nobody takes it for a plain path.
    qsizetype substitution(qsizetype open) {
        const qsizetype close = closing(open);
        if (close < 0)
            return -1;
        m_opaque = true;
        addToWord(m_text.sliced(open - (m_text[open] == u'`' ? 0 : 1), close - open + (m_text[open] == u'`' ? 1 : 2)));
        return close;
    }

    qsizetype closing(qsizetype open) const {
        if (m_text[open] == u'`') {
            for (qsizetype j = open + 1; j < m_text.size(); ++j) {
                if (m_text[j] == u'\\')
                    ++j;
                else if (m_text[j] == u'`')
                    return j;
            }
            return -1;
        }
        int depth = 0;
        for (qsizetype j = open; j < m_text.size(); ++j) {
            const char16_t c = m_text[j].unicode();
            if (c == u'\\') {
                ++j;
            } else if (c == u'\'' || c == u'"') {
                j = m_text.indexOf(c, j + 1);
                if (j < 0)
                    return -1;
            } else if (c == u'(') {
                ++depth;
            } else if (c == u')' && --depth == 0) {
                return j;
            }
        }
        return -1;
    }

    // After a line break, the bodies of the here-documents opened on that line.
    qsizetype hereDocuments(qsizetype i) {
        for (const auto& [delimiter, tabs] : std::as_const(m_pending)) {
            while (i + 1 < m_text.size()) {
                qsizetype end = i + 1;
                while (end < m_text.size() && !isLineBreak(m_text[end].unicode()))
                    ++end;
                QStringView line = m_text.sliced(i + 1, end - i - 1);
                while (tabs && line.startsWith(u'\t'))
                    line = line.sliced(1);
                i = std::min(end, m_text.size() - 1);
                if (line == delimiter)
                    break;
            }
        }
        m_pending.clear();
        return i;
    }

    qsizetype redirection(qsizetype i, char16_t c, char16_t next) {
        // A descriptor number written right before the operator belongs to it.
        if (m_inWord && !m_quoted && !m_opaque && isDigits(m_word))
            resetWord();
        else if (!endWord())
            return -1;
        if (m_target != Target::none)
            return -1;
        if (next == u'(')
            return m_lenient ? substitution(i + 1) : -1;
        if (c == u'<' && next == u'<') {
            if (!m_lenient)
                return -1;
            if (at(i + 2) == u'<') { // a here-string: input only
                m_target = Target::file;
                m_output = false;
                return i + 2;
            }
            m_target = Target::hereDocument;
            m_tabs = at(i + 2) == u'-';
            return m_tabs ? i + 2 : i + 1;
        }
        m_output = c == u'>' || next == u'>';
        if (next == u'&') {
            m_target = Target::fileOrDescriptor;
            return i + 1;
        }
        m_target = Target::file;
        return (c == u'>' && (next == u'>' || next == u'|')) || (c == u'<' && next == u'>') ? i + 1 : i;
    }

    qsizetype doubleQuoted(qsizetype open) {
        m_inWord = m_quoted = true;
        for (qsizetype j = open + 1; j < m_text.size(); ++j) {
            const char16_t c = m_text[j].unicode();
            const char16_t next = at(j + 1).unicode();
            if (c == u'"')
                return j;
            if (c == u'`' || (c == u'$' && next == u'(')) {
                if (!m_lenient)
                    return -1;
                j = substitution(c == u'`' ? j : j + 1);
                if (j < 0)
                    return -1;
                continue;
            }
            if (c == u'\\' && (next == u'$' || next == u'`' || next == u'"' || next == u'\\')) {
                m_word += m_text[++j];
                continue;
            }
            if (c == u'$' && (next == u'{' || next == u'[')) {
                j = dollar(j, next);
                if (j < 0)
                    return -1;
                continue;
            }
            m_opaque |= c == u'$';
            m_word += m_text[j];
        }
        return -1;
    }

    // $'…': backslash escapes can spell any character, so the value is taken as unknown.
    qsizetype ansiQuoted(qsizetype open) {
        m_inWord = m_quoted = m_opaque = true;
        for (qsizetype j = open + 1; j < m_text.size(); ++j) {
            if (m_text[j] == u'\\')
                m_word += m_text[j++];
            else if (m_text[j] == u'\'')
                return j;
            if (j < m_text.size())
                m_word += m_text[j];
        }
        return -1;
    }

    bool endWord() {
        if (!m_inWord)
            return true;
        const Target target = std::exchange(m_target, Target::none);
        if (target == Target::hereDocument) {
            m_pending.append({m_word, m_tabs});
            resetWord();
            return true;
        }
        if (target != Target::none) {
            const bool harmless =
                !m_opaque &&
                (m_word == QLatin1String("/dev/null") ||
                 (target == Target::fileOrDescriptor && (isDigits(m_word) || m_word == QLatin1String("-"))));
            if (m_lenient && m_output && !harmless)
                m_current.outputs.append({m_word, m_opaque});
            resetWord();
            return harmless || m_lenient;
        }
        m_current.words.append(m_word);
        m_current.opaque.append(m_opaque);
        resetWord();
        return true;
    }

    bool endCommand() {
        if (m_target != Target::none)
            return false;
        if (!m_current.words.isEmpty() || !m_current.outputs.isEmpty())
            m_commands.append(m_current);
        m_current = {};
        return true;
    }

    void resetWord() {
        m_word.clear();
        m_inWord = m_quoted = m_opaque = m_braceOpen = false;
    }

    QStringView m_text;
    bool m_lenient;
    QList<ShellCommand::Simple> m_commands;
    ShellCommand::Simple m_current;
    QString m_word;
    bool m_inWord = false;
    bool m_quoted = false;
    bool m_opaque = false;
    bool m_braceOpen = false;
    Target m_target = Target::none;
    bool m_output = false;
    bool m_tabs = false;
    QList<std::pair<QString, bool>> m_pending;
};

bool isLongOption(const QString& word) {
    return word.startsWith(QLatin1String("--")) && word.size() > 2;
}

bool isShortCluster(const QString& word) {
    return word.size() > 1 && word[0] == u'-' && word[1] != u'-';
}

// Short options may be bundled: "-rd" deletes as surely as "-d". A letter that takes an argument ends the bundle
// (the rest is its argument: "date -Iseconds").
bool clusterHas(const QString& word, QLatin1StringView letters, QLatin1StringView takeArgument = {}) {
    if (!isShortCluster(word))
        return false;
    for (qsizetype i = 1; i < word.size(); ++i) {
        if (letters.contains(word[i]))
            return true;
        if (takeArgument.contains(word[i]))
            return false;
    }
    return false;
}

// git and getopt accept any unambiguous prefix of a long option: "--del" is "--delete".
bool abbreviates(const QString& word, std::initializer_list<QLatin1StringView> options) {
    if (!isLongOption(word))
        return false;
    const QString name = word.section(u'=', 0, 0);
    return std::any_of(options.begin(), options.end(),
                       [&](QLatin1StringView option) { return option.startsWith(name); });
}

// git fetches from anything that names a remote place: "https://…", "ext::…", "host:path" after a user name.
bool isUrl(const QString& word) {
    if (word.contains(QLatin1String("://")) || word.contains(QLatin1String("::")))
        return true;
    const qsizetype at = word.indexOf(u'@');
    const qsizetype colon = word.indexOf(u':');
    const qsizetype slash = word.indexOf(u'/');
    return at > 0 && colon > at && (slash < 0 || slash > colon);
}

bool gitBranchWrites(const QStringList& args) {
    using L = QLatin1StringView;
    int names = 0;
    bool listing = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args[i];
        if (word == L("--")) {
            names += int(args.size() - i - 1);
            break;
        }
        if (abbreviates(word, {L("--delete"), L("--move"), L("--copy"), L("--force"), L("--set-upstream-to"),
                               L("--unset-upstream"), L("--edit-description"), L("--track"), L("--create-reflog")}) ||
            clusterHas(word, L("dmcuft")))
            return true;
        if (word == L("--list") || clusterHas(word, L("l"))) {
            listing = true;
        } else if (word == L("--contains") || word == L("--no-contains") || word == L("--merged") ||
                   word == L("--no-merged") || word == L("--points-at")) {
            listing = true;
            ++i; // their commit
        } else if (word == L("--sort") || word == L("--format")) {
            ++i;
        } else if (!word.startsWith(u'-')) {
            ++names; // "git branch NAME" creates NAME
        }
    }
    return names > 0 && !listing;
}

// Only the forms that read the local configuration: "git remote [-v]", "git remote get-url [--push|--all] NAME"
// and "git remote show -n NAME". Everything else changes remotes or asks one over the network.
bool gitRemoteBeyondReading(const QStringList& args) {
    using L = QLatin1StringView;
    if (args.isEmpty() || (args.size() == 1 && (args[0] == L("-v") || args[0] == L("--verbose"))))
        return false;
    if (args[0] == L("get-url")) {
        const QStringList rest = args.mid(1);
        const qsizetype names =
            std::count_if(rest.begin(), rest.end(), [](const QString& w) { return !w.startsWith(u'-'); });
        return names != 1 || std::any_of(rest.begin(), rest.end(), [](const QString& w) {
                   return w.startsWith(u'-') && w != L("--push") && w != L("--all");
               });
    }
    return !(args.size() == 3 && args[0] == L("show") && args[1] == L("-n") && !args[2].startsWith(u'-'));
}

// Commands whose every option only reads or prints: a word whose value is unknown cannot make them write.
bool onlyReads(const QString& name) {
    for (const char* reader : {"ls", "cat", "head", "tail", "grep", "echo", "which", "pwd", "whoami"}) {
        if (name == QLatin1String(reader))
            return true;
    }
    return false;
}

// An opaque word could spell any option ("{-delete,-print}", "-de?ete", "$OPTS"). After "--" git and rg take
// only paths and patterns; find reads its expression wherever it stands.
bool hasOpaqueOption(const QString& name, const ShellCommand::Simple& command) {
    const bool pathsAfterDashes = name == QLatin1String("git") || name == QLatin1String("rg");
    for (qsizetype i = 0; i < command.words.size(); ++i) {
        if (pathsAfterDashes && command.words[i] == QLatin1String("--") && !command.opaque[i])
            return false;
        if (command.opaque[i])
            return true;
    }
    return false;
}

// Destinations of the copying commands: "-t DIR" or "--target-directory=DIR", else the last operand when
// there are at least two.
void copyDestination(const ShellCommand::Simple& command, QList<ShellCommand::Word>& out) {
    qsizetype operands = 0;
    qsizetype last = -1;
    for (qsizetype i = 1; i < command.words.size(); ++i) {
        const QString& word = command.words[i];
        if (word == QLatin1String("-t") && i + 1 < command.words.size()) {
            out.append({command.words[i + 1], command.opaque[i + 1]});
            return;
        }
        if (word.startsWith(QLatin1String("--target-directory="))) {
            out.append({word.section(u'=', 1), command.opaque[i]});
            return;
        }
        if (!word.startsWith(u'-')) {
            ++operands;
            last = i;
        }
    }
    if (operands >= 2)
        out.append({command.words[last], command.opaque[last]});
}

} // namespace

std::optional<QList<ShellCommand::Simple>> ShellCommand::plainList(QStringView text) {
    return Reader(text, false).run();
}

std::optional<QList<ShellCommand::Simple>> ShellCommand::script(QStringView text) {
    return Reader(text, true).run();
}

bool ShellCommand::writesOrRuns(const Simple& command) {
    using L = QLatin1StringView;
    if (command.words.isEmpty())
        return false;
    if (command.opaque.value(0))
        return true;
    // Case folded, so an odd spelling can only make a command look more dangerous, never less.
    QStringList words;
    for (const QString& word : command.words)
        words.append(word.toLower());
    const QString name = words.takeFirst();
    if (onlyReads(name))
        return false;
    if (hasOpaqueOption(name, command))
        return true;
    const auto any = [&](auto predicate) { return std::any_of(words.begin(), words.end(), predicate); };

    if (name == L("find")) {
        return any([](const QString& w) {
            for (const char* option :
                 {"-delete", "-exec", "-execdir", "-ok", "-okdir", "-fprint", "-fprint0", "-fprintf", "-fls"}) {
                if (w == QLatin1String(option))
                    return true;
            }
            return false;
        });
    }
    if (name == L("git")) {
        if (any([](const QString& w) { return abbreviates(w, {L("--output")}) || isUrl(w); }))
            return true;
        const QString subcommand = words.value(0);
        if (subcommand == L("branch"))
            return gitBranchWrites(words.mid(1));
        if (subcommand == L("remote"))
            return gitRemoteBeyondReading(words.mid(1));
        return false;
    }
    if (name == L("rg"))
        return any([](const QString& w) { return w == L("--pre") || w.startsWith(L("--pre=")); });
    if (name == L("date"))
        return any([](const QString& w) { return clusterHas(w, L("s"), L("dfri")) || abbreviates(w, {L("--set")}); });
    if (name == L("env")) {
        // env runs whatever word follows its options; -S splits one into a command line.
        return any([](const QString& w) {
            return !w.startsWith(u'-') || clusterHas(w, L("s"), L("uc")) || abbreviates(w, {L("--split-string")});
        });
    }
    return false;
}

QList<ShellCommand::Word> ShellCommand::destinations(const Simple& command) {
    using L = QLatin1StringView;
    QList<Word> out = command.outputs;
    if (command.words.isEmpty() || command.opaque[0])
        return out;
    const QString name = command.words[0].section(u'/', -1);
    if (name == L("tee")) {
        for (qsizetype i = 1; i < command.words.size(); ++i) {
            if (!command.words[i].startsWith(u'-'))
                out.append({command.words[i], command.opaque[i]});
        }
    } else if (name == L("cp") || name == L("mv") || name == L("install") || name == L("ln") || name == L("rsync")) {
        copyDestination(command, out);
    } else if (name == L("dd")) {
        for (qsizetype i = 1; i < command.words.size(); ++i) {
            if (command.words[i].startsWith(L("of=")))
                out.append({command.words[i].mid(3), command.opaque[i]});
        }
    }
    return out;
}
