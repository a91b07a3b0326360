#pragma once

#include "settings/TabPage.h"

#include <QColor>
#include <functional>

class AuditLog;
class RuleStore;
class SessionRules;
struct Rule;

/// The rules taught from the approval card, with a Forget button each, and the clicks they saved today; then the
/// rules that hold for one running session only, under "This session", which go when their session does.
class RulesTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RulesTab)

public:
    RulesTab(RuleStore& rules, SessionRules& sessionRules, AuditLog& audit, QWidget* parent = nullptr);

    /// "auto-allow · fired 12x"
    static QString firedText(const Rule& rule);

protected:
    void build(QBoxLayout* column) override;

private:
    QWidget* ruleRow(const Rule& rule);
    QWidget* ruleCard(const QString& key, const QString& caption, QColor dot, const QString& forgetName,
                      std::function<void()> forget);
    void buildSessionRules(QBoxLayout* column);

    RuleStore& m_rules;
    SessionRules& m_sessionRules;
    AuditLog& m_audit;
};
