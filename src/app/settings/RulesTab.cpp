#include "settings/RulesTab.h"

#include "audit/AuditLog.h"
#include "kit/Dot.h"
#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/Type.h"
#include "risk/RuleStore.h"
#include "settings/SettingsBlocks.h"

#include <QBoxLayout>
#include <QLabel>

RulesTab::RulesTab(RuleStore& rules, AuditLog& audit, QWidget* parent)
    : TabPage(parent), m_rules(rules), m_audit(audit) {
    watch(&rules, &RuleStore::rulesChanged);
    watch(&audit, &AuditLog::todayChanged);
    rebuild();
}

QString RulesTab::firedText(const Rule& rule) {
    return QStringLiteral("auto-%1 \u00B7 fired %2x").arg(rule.behavior).arg(rule.timesFired);
}

void RulesTab::build(QBoxLayout* column) {
    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Rules you taught it")));
    column->addWidget(SettingsBlocks::intro(QStringLiteral(
        "Approval fatigue is what kills a tool like this: click Allow enough times without reading and the gate "
        "becomes worse than useless. Tick \"always allow\" on a boring command and it stops asking. Destructive "
        "commands can never be auto-approved \u2014 that valve is not negotiable.")));

    auto* saved = new QWidget;
    QBoxLayout* savedRow = SettingsBlocks::row(saved, 14);
    QLabel* clicks = SettingsBlocks::label(QString::number(m_audit.clicksSaved()), Type::big(), Palette::positive());
    clicks->setObjectName(QStringLiteral("clicksSaved"));
    savedRow->addWidget(clicks, 0, Qt::AlignVCenter);
    QLabel* words =
        SettingsBlocks::label(QStringLiteral("clicks you didn't have to make today"), Type::body(), Palette::text2());
    words->setWordWrap(true);
    savedRow->addWidget(words, 1, Qt::AlignVCenter);
    column->addWidget(SettingsBlocks::card(saved));

    if (m_rules.rules().isEmpty()) {
        column->addWidget(SettingsBlocks::emptyState(
            QStringLiteral("No rules yet.\nTick \"always allow\" on an approval card to teach one.")));
        return;
    }
    auto* list = new QWidget;
    QBoxLayout* rows = SettingsBlocks::column(list, 8);
    for (const Rule& rule : m_rules.rules())
        rows->addWidget(ruleRow(rule));
    column->addWidget(list);
}

QWidget* RulesTab::ruleRow(const Rule& rule) {
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 12);
    const bool allows = rule.behavior == QLatin1String("allow");
    row->addWidget(new Dot(8, allows ? Palette::positive() : Palette::caution()), 0, Qt::AlignVCenter);
    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(3);
    QLabel* key = SettingsBlocks::label(rule.key, Type::bodyMono(), Palette::text());
    key->setWordWrap(true);
    key->setTextInteractionFlags(Qt::TextSelectableByMouse);
    words->addWidget(key);
    words->addWidget(SettingsBlocks::label(firedText(rule), Type::caption(), Palette::text3()));
    row->addLayout(words, 1);
    auto* forget = new FlatButton(QStringLiteral("Forget"), Qt::white, false, false);
    forget->setObjectName(QStringLiteral("forget"));
    // Copied: the store's list may change before the click is handled.
    connect(forget, &FlatButton::clicked, this, [this, rule] { m_rules.remove(rule); });
    row->addWidget(forget, 0, Qt::AlignVCenter);
    return SettingsBlocks::card(content);
}
