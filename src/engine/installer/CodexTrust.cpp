#include "installer/CodexTrust.h"

#include <toml++/toml.h>

QSet<QString> CodexTrust::trustedKeys(const QByteArray& configToml) {
    QSet<QString> trusted;
    toml::table config;
    try {
        config = toml::parse(std::string_view(configToml.constData(), static_cast<std::size_t>(configToml.size())));
    } catch (const toml::parse_error&) {
        return trusted;
    }
    const toml::table* state = config["hooks"]["state"].as_table();
    if (state == nullptr)
        return trusted;
    for (const auto& [key, value] : *state) {
        const toml::table* hook = value.as_table();
        const std::optional<std::string_view> hash =
            hook != nullptr ? (*hook)["trusted_hash"].value<std::string_view>() : std::nullopt;
        if (hash && !hash->empty())
            trusted.insert(QString::fromUtf8(key.str().data(), static_cast<qsizetype>(key.str().size())));
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

QStringList CodexTrust::ourKeys(const QString& hooksPath, const HookConfig::json& hooks) {
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
