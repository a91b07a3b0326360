#pragma once

#include "settings/TabPage.h"

class AuditLog;
class RuleStore;
struct Rule;

/// The rules taught from the approval card, with a Forget button each, and the clicks they saved today.
class RulesTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RulesTab)

public:
    RulesTab(RuleStore& rules, AuditLog& audit, QWidget* parent = nullptr);

    /// "auto-allow · fired 12x"
    static QString firedText(const Rule& rule);

protected:
    void build(QBoxLayout* column) override;

private:
    QWidget* ruleRow(const Rule& rule);

    RuleStore& m_rules;
    AuditLog& m_audit;
};
