#include "installer/GrokCompat.h"

#include <toml++/toml.h>

namespace {

std::optional<toml::table> parse(const QByteArray& text) {
    try {
        return toml::parse(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    } catch (const toml::parse_error&) {
        return std::nullopt;
    }
}

bool isOff(const toml::table& config) {
    return config["compat"]["claude"]["hooks"].value<bool>() == false;
}

} // namespace

GrokCompat::Plan GrokCompat::plan(const QByteArray& config) {
    const std::optional<toml::table> parsed = parse(config);
    if (!parsed)
        return {std::nullopt, leftAlone(QStringLiteral(".grok/config.toml isn't valid TOML, so it was left alone."))};
    if (isOff(*parsed))
        return {};
    const toml::node_view compat = (*parsed)["compat"];
    if (compat["claude"])
        return {std::nullopt, leftAlone(QStringLiteral(".grok/config.toml already sets compat.claude, so it was left "
                                                       "alone."))};
    // An inline `compat = {…}` cannot take a [compat.claude] table after it.
    if (compat && (!compat.is_table() || compat.as_table()->is_inline()))
        return {std::nullopt, leftAlone(QStringLiteral(".grok/config.toml sets compat where compat.claude cannot be "
                                                       "added, so it was left alone."))};
    QByteArray text = config;
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += '\n';
    text += "\n[compat.claude]\nhooks = false\n";
    // Whatever the file held, the result must read as meant.
    const std::optional<toml::table> written = parse(text);
    if (!written || !isOff(*written))
        return {std::nullopt,
                leftAlone(QStringLiteral(".grok/config.toml could not take compat.claude, so it was left alone."))};
    return {std::move(text), {}};
}

QString GrokCompat::leftAlone(const QString& why) {
    return why + QStringLiteral(" Set hooks = false under compat.claude there yourself, or Grok Build also runs "
                                "Claude Code's hooks.");
}
