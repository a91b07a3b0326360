#pragma once

#include "risk/Risk.h"

#include <QString>
#include <array>
#include <optional>
#include <string_view>

/// One row of a risk table: an ICU pattern and the reason shown when it matches.
struct RiskPattern {
    std::u16string_view pattern;
    std::u16string_view reason;
};

/// Rates a tool call from its tool name, input preview and working directory. Stateless; callable from any
/// thread (the compiled patterns are shared, every call makes its own matchers).
class RiskEngine final {
public:
    // Tested in this order; every match counts.
    static constexpr std::array<RiskPattern, 14> critical{{
        {uR"(\brm\s+(-[a-zA-Z]*[rf][a-zA-Z]*\s+)+)", u"recursive/forced delete"},
        {uR"(\bgit\s+push\b.*(--force|-f)\b)", u"force push — rewrites remote history"},
        {uR"(\bgit\s+reset\s+--hard\b)", u"discards all local changes"},
        {uR"(\bgit\s+clean\s+-[a-zA-Z]*f)", u"deletes untracked files"},
        {uR"(\b(mkfs|dd)\b)", u"writes raw to a disk"},
        {uR"(:\(\)\s*\{.*\};\s*:)", u"fork bomb"},
        {uR"(\bchmod\s+(-R\s+)?777\b)", u"world-writable permissions"},
        {uR"(\bsudo\b)", u"runs as root"},
        {uR"(>\s*/dev/(sd|disk|nvme))", u"writes to a block device"},
        {uR"(\bdrop\s+(table|database)\b)", u"drops a database table"},
        {uR"(\btruncate\s+table\b)", u"empties a database table"},
        {uR"(\bkubectl\s+delete\b)", u"deletes cluster resources"},
        {uR"(\bterraform\s+(destroy|apply)\b)", u"changes live infrastructure"},
        {uR"(\baws\s+.*\b(delete|terminate)\b)", u"deletes cloud resources"},
    }};

    // Consulted only when no critical pattern matched.
    static constexpr std::array<RiskPattern, 11> elevated{{
        {uR"(curl\b.*\|\s*(ba)?sh)", u"pipes the internet straight into a shell"},
        {uR"(wget\b.*\|\s*(ba)?sh)", u"pipes the internet straight into a shell"},
        {uR"(\b(npm|pnpm|yarn)\s+(i|install|add)\b)", u"installs packages"},
        {uR"(\bpip3?\s+install\b)", u"installs packages"},
        {uR"(\bbrew\s+install\b)", u"installs packages"},
        {uR"(\bgit\s+push\b)", u"pushes to a remote"},
        {uR"(\bssh\b)", u"connects to another machine"},
        {uR"(\bdocker\s+(run|exec)\b)", u"runs a container"},
        {uR"(\b(launchctl|systemctl)\b)", u"changes system services"},
        {uR"(\bdefaults\s+write\b)", u"changes system settings"},
        {uR"(\bcurl\b|\bwget\b)", u"fetches from the network"},
    }};

    // Each simple command of a list must match one on its own (see ShellCommand).
    static constexpr std::array<std::u16string_view, 4> readOnly{{
        uR"(^\s*(ls|pwd|cat|head|tail|grep|rg|find|which|echo|date|whoami|env)\b)",
        uR"(^\s*git\s+(status|log|diff|show|branch|remote|stash list)\b)",
        uR"(^\s*(node|python3?|swift)\s+--version\b)",
        uR"(^\s*(npm|pnpm|yarn)\s+(ls|list)\b)",
    }};

    // Reading inside these (under the home folder unless absolute) hands a credential to whoever reads the answer.
    static constexpr std::array<std::string_view, 13> secretStores{
        {"~/.ssh", "~/.gnupg", "~/.aws", "~/.config/gcloud", "~/.azure", "~/.kube", "~/.docker/config.json", "~/.netrc",
         "~/.git-credentials", "~/.vorlix-agents", "/etc/shadow", "/etc/gshadow", "/etc/sudoers"}};

    /// The reason given when a table's search ran out of time: the level stays the row's, its reason is not
    /// claimed.
    static QString tooLongReason() { return QStringLiteral("too long to check"); }

    static RiskVerdict assess(const QString& tool, const QString& detail, const std::optional<QString>& cwd);
    /// The first "~" or "/" followed by characters other than white space and quotes, case-sensitive.
    static std::optional<QString> firstPath(const QString& text);
    /// Tool name plus the first two space-separated words of the detail: the identity of a learned rule.
    static QString ruleKey(const QString& tool, const QString& detail);

private:
    static RiskVerdict assessCommand(const QString& detail, const std::optional<QString>& cwd);
    static RiskVerdict assessWrite(const QString& detail, const std::optional<QString>& cwd);
    static RiskVerdict assessRead(const QString& detail, const std::optional<QString>& cwd);
    /// The first path the command writes outside the project, as the reason shows it.
    static std::optional<QString> writesOutside(const QString& detail, const QString& cwd);
};
