#include "settings/RulesTab.h"

#include "audit/AuditLog.h"
#include "kit/Dot.h"
#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/Type.h"
#include "risk/RuleStore.h"
#include "sessions/SessionRules.h"
#include "settings/SettingsBlocks.h"

#include <QBoxLayout>
#include <QLabel>

RulesTab::RulesTab(RuleStore& rules, SessionRules& sessionRules, AuditLog& audit, QWidget* parent)
    : TabPage(parent), m_rules(rules), m_sessionRules(sessionRules), m_audit(audit) {
    watch(&rules, &RuleStore::rulesChanged);
    watch(&sessionRules, &SessionRules::rulesChanged);
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
    } else {
        auto* list = new QWidget;
        QBoxLayout* rows = SettingsBlocks::column(list, 8);
        for (const Rule& rule : m_rules.rules())
            rows->addWidget(ruleRow(rule));
        column->addWidget(list);
    }
    buildSessionRules(column);
}

QWidget* RulesTab::ruleRow(const Rule& rule) {
    const bool allows = rule.behavior == QLatin1String("allow");
    // Copied: the store's list may change before the click is handled.
    return ruleCard(rule.key, firedText(rule), allows ? Palette::positive() : Palette::caution(),
                    QStringLiteral("forget"), [this, rule] { m_rules.remove(rule); });
}

QWidget* RulesTab::ruleCard(const QString& key, const QString& caption, QColor dot, const QString& forgetName,
                            std::function<void()> forget) {
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 12);
    row->addWidget(new Dot(8, dot), 0, Qt::AlignVCenter);
    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(3);
    QLabel* keyLabel = SettingsBlocks::label(key, Type::bodyMono(), Palette::text());
    keyLabel->setWordWrap(true);
    keyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    words->addWidget(keyLabel);
    words->addWidget(SettingsBlocks::label(caption, Type::caption(), Palette::text3()));
    row->addLayout(words, 1);
    auto* button = new FlatButton(QStringLiteral("Forget"), Qt::white, false, false);
    button->setObjectName(forgetName);
    connect(button, &FlatButton::clicked, this, std::move(forget));
    row->addWidget(button, 0, Qt::AlignVCenter);
    return SettingsBlocks::card(content);
}

void RulesTab::buildSessionRules(QBoxLayout* column) {
    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("This session"), 10));
    if (m_sessionRules.rules().isEmpty()) {
        column->addWidget(SettingsBlocks::intro(QStringLiteral(
            "Press \"Allow for this session\" on an approval card: the same call is allowed until that session "
            "ends, and no longer.")));
        return;
    }
    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("sessionRules"));
    QBoxLayout* rows = SettingsBlocks::column(list, 8);
    for (const SessionRules::Rule& rule : m_sessionRules.rules()) {
        rows->addWidget(ruleCard(rule.key, QStringLiteral("%1 \u00B7 fired %2x").arg(rule.project).arg(rule.timesFired),
                                 Palette::positive(), QStringLiteral("forgetSessionRule"),
                                 [this, id = rule.sessionID, key = rule.key] { m_sessionRules.forget(id, key); }));
    }
    column->addWidget(list);
}
