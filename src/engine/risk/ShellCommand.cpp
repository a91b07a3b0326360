#include "risk/ShellCommand.h"

#include <algorithm>

namespace {

bool isLineBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isDigits(const QString& word) {
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
}

/// One pass over the text, word by word, as the shell tokenises it.
class Reader {
public:
    explicit Reader(QStringView text) : m_text(text) {}

    std::optional<QList<ShellCommand::Simple>> run() {
        if (std::any_of(m_text.begin(), m_text.end(), [](QChar c) { return isLineBreak(c.unicode()); }))
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
    enum class Target { none, file, fileOrDescriptor };

    QChar at(qsizetype i) const { return i < m_text.size() ? m_text[i] : QChar(); }

    // Consumes the character at i (and any it introduces); returns the index of the last one consumed, or -1
    // when the text is more than a plain list.
    qsizetype step(qsizetype i) {
        const char16_t c = m_text[i].unicode();
        const char16_t next = at(i + 1).unicode();
        switch (c) {
        case u' ':
        case u'\t':
            return endWord() ? i : -1;
        case u'\'': {
            const qsizetype close = m_text.indexOf(u'\'', i + 1);
            if (close < 0)
                return -1;
            m_word += m_text.sliced(i + 1, close - i - 1);
            m_inWord = m_quoted = true;
            return close;
        }
        case u'"':
            return doubleQuoted(i);
        case u'\\':
            if (i + 1 >= m_text.size())
                return -1;
            m_word += m_text[i + 1];
            m_inWord = m_quoted = true;
            return i + 1;
        case u'`':
        case u'(':
        case u')':
            return -1;
        case u'$':
            if (next == u'(')
                return -1;
            if (next == u'\'')
                return ansiQuoted(i + 1);
            if (next == u'"')
                return doubleQuoted(i + 1);
            m_word += u'$';
            m_inWord = m_expands = true;
            return i;
        case u';':
            return endWord() && endCommand() ? i : -1;
        case u'|':
            if (!endWord() || !endCommand())
                return -1;
            return next == u'|' || next == u'&' ? i + 1 : i;
        case u'&':
            if (next == u'&')
                return endWord() && endCommand() ? i + 1 : -1;
            if (next != u'>')
                return -1; // a background job
            if (!endWord() || m_target != Target::none)
                return -1;
            m_target = Target::file;
            return at(i + 2) == u'>' ? i + 2 : i + 1;
        case u'<':
        case u'>':
            return redirection(i, c, next);
        default:
            m_word += m_text[i];
            m_inWord = true;
            return i;
        }
    }

    qsizetype redirection(qsizetype i, char16_t c, char16_t next) {
        // A descriptor number written right before the operator belongs to it.
        if (m_inWord && !m_quoted && !m_expands && isDigits(m_word))
            resetWord();
        else if (!endWord())
            return -1;
        if (m_target != Target::none || next == u'(' || (c == u'<' && next == u'<'))
            return -1;
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
            if (c == u'`' || (c == u'$' && next == u'('))
                return -1;
            if (c == u'\\' && (next == u'$' || next == u'`' || next == u'"' || next == u'\\')) {
                m_word += m_text[++j];
                continue;
            }
            m_expands |= c == u'$';
            m_word += m_text[j];
        }
        return -1;
    }

    // $'…': backslash escapes can spell any character, so the value is taken as unknown.
    qsizetype ansiQuoted(qsizetype open) {
        m_inWord = m_quoted = m_expands = true;
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
        if (m_target != Target::none) {
            const bool harmless =
                !m_expands &&
                (m_word == QLatin1String("/dev/null") ||
                 (m_target == Target::fileOrDescriptor && (isDigits(m_word) || m_word == QLatin1String("-"))));
            m_target = Target::none;
            resetWord();
            return harmless;
        }
        m_current.words.append(m_word);
        m_current.expands |= m_expands;
        resetWord();
        return true;
    }

    bool endCommand() {
        if (m_target != Target::none)
            return false;
        if (!m_current.words.isEmpty())
            m_commands.append(m_current);
        m_current = {};
        return true;
    }

    void resetWord() {
        m_word.clear();
        m_inWord = m_quoted = m_expands = false;
    }

    QStringView m_text;
    QList<ShellCommand::Simple> m_commands;
    ShellCommand::Simple m_current;
    QString m_word;
    bool m_inWord = false;
    bool m_quoted = false;
    bool m_expands = false;
    Target m_target = Target::none;
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

bool gitRemoteWrites(const QStringList& args) {
    for (const QString& word : args) {
        if (word == QLatin1String("-v") || word == QLatin1String("--verbose"))
            continue;
        return word != QLatin1String("show") && word != QLatin1String("get-url");
    }
    return false;
}

} // namespace

std::optional<QList<ShellCommand::Simple>> ShellCommand::plainList(QStringView text) {
    return Reader(text).run();
}

bool ShellCommand::writesOrRuns(const Simple& command) {
    using L = QLatin1StringView;
    if (command.words.isEmpty())
        return false;
    // Case folded, so an odd spelling can only make a command look more dangerous, never less.
    QStringList words;
    for (const QString& word : command.words)
        words.append(word.toLower());
    const QString name = words.takeFirst();
    const bool checked =
        name == L("find") || name == L("git") || name == L("rg") || name == L("date") || name == L("env");
    if (!checked)
        return false;
    if (command.expands)
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
        if (any([](const QString& w) { return abbreviates(w, {L("--output")}); }))
            return true;
        const QString subcommand = words.value(0);
        if (subcommand == L("branch"))
            return gitBranchWrites(words.mid(1));
        if (subcommand == L("remote"))
            return gitRemoteWrites(words.mid(1));
        return false;
    }
    if (name == L("rg"))
        return any([](const QString& w) { return w == L("--pre") || w.startsWith(L("--pre=")); });
    if (name == L("date"))
        return any([](const QString& w) { return clusterHas(w, L("s"), L("dfri")) || abbreviates(w, {L("--set")}); });
    // env runs whatever word follows its options; -S splits one into a command line.
    return any([](const QString& w) {
        return !w.startsWith(u'-') || clusterHas(w, L("s"), L("uc")) || abbreviates(w, {L("--split-string")});
    });
}
