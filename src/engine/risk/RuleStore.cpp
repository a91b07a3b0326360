#include "risk/RuleStore.h"

#include "JSONValue.h"
#include "JsonFields.h"
#include "risk/RiskEngine.h"
#include "support/AppPaths.h"
#include "support/FileIO.h"
#include "support/Log.h"

#include <QFileInfo>
#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

std::optional<QList<Rule>> decode(const QByteArray& data) {
    const std::string_view text(data.constData(), static_cast<size_t>(data.size()));
    if (JSONValue::nestsTooDeep(text))
        return std::nullopt;
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_array())
        return std::nullopt;
    QList<Rule> rules;
    rules.reserve(static_cast<qsizetype>(json.size()));
    for (const auto& element : json) {
        auto rule = Rule::fromJson(element);
        if (!rule)
            return std::nullopt;
        rules.append(std::move(*rule));
    }
    return rules;
}

} // namespace

RuleStore::RuleStore(QString path, const Clock& clock, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_clock(clock) {
    load();
}

QString RuleStore::defaultPath() {
    return AppPaths::dataDir() + QStringLiteral("/rules.json");
}

void RuleStore::load() {
    const FileIO::ReadResult file = FileIO::read(m_path);
    if (file.status == FileIO::ReadStatus::missing)
        return;
    if (file.status == FileIO::ReadStatus::ok) {
        if (auto rules = decode(file.data)) {
            m_rules = std::move(*rules);
            return;
        }
    }
    m_moveAsideBeforeSave = true;
    Log::line(QStringLiteral("Rules file ") + m_path + QStringLiteral(" cannot be read; starting with no rules"));
}

std::optional<Vorlix::Behavior> RuleStore::decision(const QString& tool, const QString& detail) {
    const QString key = RiskEngine::ruleKey(tool, detail);
    const auto rule = std::find_if(m_rules.begin(), m_rules.end(), [&](const Rule& r) { return r.key == key; });
    if (rule == m_rules.end())
        return std::nullopt;
    if (rule->timesFired < INT64_MAX)
        ++rule->timesFired;
    const Vorlix::Behavior behavior =
        rule->behavior == QLatin1String("allow") ? Vorlix::Behavior::allow : Vorlix::Behavior::deny;
    save();
    emit rulesChanged();
    return behavior;
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
    if (m_moveAsideBeforeSave) {
        if (QFileInfo::exists(m_path) && FileIO::moveAside(m_path, m_clock.now()).isEmpty()) {
            // Keep the rules in memory only; writing now would destroy the file we could not read.
            Log::line(QStringLiteral("Rules file ") + m_path + QStringLiteral(" could not be moved aside; not saved"));
            return;
        }
        m_moveAsideBeforeSave = false;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const Rule& rule : m_rules)
        list.push_back(rule.toJson());
    const std::string text = Vorlix::JsonFields::compact(list);
    QString error;
    if (!FileIO::writeAtomically(m_path, QByteArray::fromStdString(text), &error))
        Log::line(QStringLiteral("Rules file ") + m_path + QStringLiteral(" not saved: ") + error);
}
