#pragma once

#include "installer/HookConfig.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

/// What Codex has been told to trust. Codex runs a hook from ~/.codex/hooks.json only after the person trusted it
/// in its /hooks screen, which records `[hooks.state."<hooks.json path>:<event_in_snake_case>:<group>:<hook>"]`
/// tables with a `trusted_hash` in ~/.codex/config.toml. Read only: trust is the person's to give.
class CodexTrust final {
public:
    /// The keys of every `hooks.state` table that carries a trusted hash, however the TOML spells it; none when
    /// the text is not TOML.
    static QSet<QString> trustedKeys(const QByteArray& configToml);
    /// The key of every hook entry of ours in a hooks object, in the file at `hooksPath`.
    static QStringList ourKeys(const QString& hooksPath, const HookConfig::json& hooks);
    /// "PermissionRequest" -> "permission_request"
    static QString snakeCase(const QString& event);
};
