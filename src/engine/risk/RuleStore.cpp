#include "risk/RuleStore.h"

#include "risk/RiskEngine.h"
#include "risk/ShellCommand.h"
#include "risk/ToolName.h"
#include "support/AppPaths.h"
#include "support/Log.h"
#include "support/VisibleText.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

bool isShell(const QString& tool) {
    return ToolName::kind(tool) == ToolName::Kind::shell;
}

// The key of the call's first simple command: "npm test;curl x" is first of all "npm test".
std::optional<QString> firstCommandKey(const QString& tool, const QString& detail) {
    const auto commands = ShellCommand::script(detail);
    if (!commands || commands->isEmpty())
        return std::nullopt;
    return RiskEngine::ruleKey(tool, commands->front().words.join(u' '));
}

} // namespace

RuleStore::RuleStore(QString path, const Clock& clock, QObject* parent)
    : QObject(parent), m_file(std::move(path), clock), m_clock(clock) {
    QStringList skipped;
    m_file.load([&](const nlohmann::json& json) {
        if (!json.is_array())
            return false;
        for (std::size_t i = 0; i < json.size(); ++i) {
            if (auto rule = Rule::fromJson(json[i])) {
                m_rules.append(std::move(*rule));
            } else {
                m_unreadable.push_back(json[i]);
                skipped << QString::number(i + 1);
            }
        }
        return true;
    });
    if (!skipped.isEmpty())
        Log::line(QStringLiteral("Vorlix Agents: %1: skipped rule %2 (not a rule we can read; kept in the file)")
                      .arg(m_file.path(), skipped.join(QStringLiteral(", "))));
}

QString RuleStore::defaultPath() {
    return AppPaths::dataDir() + QStringLiteral("/rules.json");
}

std::optional<Vorlix::Behavior> RuleStore::decision(const QString& tool, const QString& detail) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    const std::optional<QString> first = isShell(tool) ? firstCommandKey(tool, detail) : std::nullopt;
    const auto isAllow = [](const Rule& r) { return r.behavior == QLatin1String("allow"); };
    // Deny wins: a deny rule is looked for first, on the whole call and on its first command.
    auto rule = std::find_if(m_rules.begin(), m_rules.end(),
                             [&](const Rule& r) { return !isAllow(r) && (r.key == key || r.key == first); });
    if (rule == m_rules.end()) {
        rule = std::find_if(m_rules.begin(), m_rules.end(), [&](const Rule& r) { return r.key == key; });
        if (rule == m_rules.end() || !allowMayAnswer(tool, detail))
            return std::nullopt;
    }
    if (rule->timesFired < INT64_MAX)
        ++rule->timesFired;
    const Vorlix::Behavior behavior =
        rule->behavior == QLatin1String("allow") ? Vorlix::Behavior::allow : Vorlix::Behavior::deny;
    save();
    emit rulesChanged();
    return behavior;
}

bool RuleStore::allowMayAnswer(const QString& tool, const QString& detail) {
    if (isShell(tool)) {
        const auto commands = ShellCommand::plainList(detail);
        if (!commands || commands->size() != 1)
            return false;
    }
    return RiskEngine::assess(tool, detail, std::nullopt).level != Risk::critical;
}

void RuleStore::add(const QString& tool, const QString& detail, Vorlix::Behavior behavior) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    if (std::any_of(m_rules.cbegin(), m_rules.cend(), [&](const Rule& r) { return r.key == key; }))
        return;
    m_rules.append(Rule{key, QString::fromUtf8(Vorlix::rawValue(behavior)), m_clock.now(), 0});
    save();
    emit rulesChanged();
}

void RuleStore::remove(const Rule& rule) {
    // A copy: the caller may pass one of our own rules, which the removal moves over.
    const QString key = rule.key;
    const qsizetype removed = m_rules.removeIf([&](const Rule& r) { return r.key == key; });
    save();
    if (removed > 0)
        emit rulesChanged();
}

void RuleStore::save() {
    nlohmann::json list = nlohmann::json::array();
    for (const Rule& rule : m_rules)
        list.push_back(rule.toJson());
    for (const nlohmann::json& element : m_unreadable)
        list.push_back(element);
    QString error;
    if (!m_file.save(list, -1, &error))
        Log::line(QStringLiteral("Vorlix Agents: rules not saved: ") + error);
}

QString RuleStore::offerLabel(const QString& tool, const QString& detail) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    const QString words = key.mid(tool.size() + 2);
    const QString label = isShell(tool) && !words.isEmpty()
                              ? QStringLiteral("Always allow commands starting with \"%1\"").arg(words)
                              : QStringLiteral("Always allow \"%1\"").arg(key);
    return VisibleText::oneLine(label);
}
