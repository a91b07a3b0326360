#include "installer/CodexTrust.h"

#include "installer/HookConfig.h"

#include <optional>

namespace {

// The quoted key that starts `text` (a basic "…" string with its escapes, or a literal '…' one), and what follows.
std::optional<std::pair<QString, QStringView>> quotedKey(QStringView text) {
    if (text.isEmpty() || (text.front() != u'"' && text.front() != u'\''))
        return std::nullopt;
    const QChar quote = text.front();
    QString key;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == quote)
            return std::pair(key, text.mid(i + 1));
        if (c == u'\\' && quote == u'"' && i + 1 < text.size()) {
            ++i;
            const QChar escaped = text[i];
            key += escaped == u'n' ? QChar(u'\n') : escaped == u't' ? QChar(u'\t') : escaped;
            continue;
        }
        key += c;
    }
    return std::nullopt;
}

// The key of a `[hooks.state."…"]` header line.
std::optional<QString> stateTable(QStringView line) {
    if (!line.startsWith(u'[') || line.startsWith(u"[[") || !line.endsWith(u']'))
        return std::nullopt;
    QStringView inside = line.mid(1, line.size() - 2).trimmed();
    constexpr QStringView prefix = u"hooks.state.";
    if (!inside.startsWith(prefix))
        return std::nullopt;
    auto key = quotedKey(inside.mid(prefix.size()));
    if (!key || !key->second.trimmed().isEmpty())
        return std::nullopt;
    return key->first;
}

bool holdsTrustedHash(QStringView line) {
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0 || line.left(equals).trimmed() != u"trusted_hash")
        return false;
    const auto value = quotedKey(line.mid(equals + 1).trimmed());
    return value && !value->first.isEmpty();
}

} // namespace

QSet<QString> CodexTrust::trustedKeys(const QByteArray& configToml) {
    QSet<QString> trusted;
    std::optional<QString> table;
    for (const QString& raw : QString::fromUtf8(configToml).split(u'\n')) {
        const QStringView line = QStringView(raw).trimmed();
        if (line.startsWith(u'['))
            table = stateTable(line);
        else if (table && holdsTrustedHash(line))
            trusted.insert(*table);
    }
    return trusted;
}

QString CodexTrust::snakeCase(const QString& event) {
    QString snake;
    for (qsizetype i = 0; i < event.size(); ++i) {
        if (event[i].isUpper() && i > 0)
            snake += u'_';
        snake += event[i].toLower();
    }
    return snake;
}

QStringList CodexTrust::ourKeys(const QString& hooksPath, const nlohmann::json& hooks) {
    QStringList keys;
    if (!hooks.is_object())
        return keys;
    for (const auto& [event, groups] : hooks.items()) {
        if (!groups.is_array())
            continue;
        const QString prefix = hooksPath + u':' + snakeCase(QString::fromStdString(event)) + u':';
        // find() on anything but an object finds nothing, so odd groups and entries are passed over.
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const auto entries = groups[g].find("hooks");
            if (entries == groups[g].end() || !entries->is_array())
                continue;
            for (std::size_t h = 0; h < entries->size(); ++h) {
                const auto command = (*entries)[h].find("command");
                if (command != (*entries)[h].end() && command->is_string() &&
                    command->get_ref<const std::string&>().find(HookConfig::ourNeedle) != std::string::npos)
                    keys << prefix + QString::number(g) + u':' + QString::number(h);
            }
        }
    }
    return keys;
}
