#include "settings/AuditTab.h"

#include "audit/AuditLog.h"
#include "kit/Dot.h"
#include "kit/ElidedLabel.h"
#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/RoundedPanel.h"
#include "kit/Type.h"
#include "settings/SettingsBlocks.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QLabel>

AuditTab::AuditTab(AuditLog& audit, QWidget* parent) : TabPage(parent), m_audit(audit) {
    watch(&audit, &AuditLog::todayChanged);
    rebuild();
}

QColor AuditTab::dot(const AuditEntry& entry) {
    if (entry.kind.contains(QLatin1String("denied")))
        return Palette::caution();
    if (entry.kind.startsWith(QLatin1String("auto")))
        return Palette::withOpacity(Palette::positive(), 0.6);
    if (entry.kind == AuditKind::tool)
        return Palette::withOpacity(Palette::accent(), 0.7);
    return Palette::positive();
}

QString AuditTab::time(const AuditEntry& entry) {
    return entry.ts.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

void AuditTab::exportCSV() {
    // An earlier "Saved" line must not stand for an export that just failed.
    const std::optional<QString> path = m_audit.exportCSV();
    m_exported = path ? QFileInfo(*path).fileName() : QString();
    m_exportFailed = !path;
    scheduleRebuild();
}

void AuditTab::build(QBoxLayout* column) {
    auto* header = new QWidget;
    QBoxLayout* headerRow = SettingsBlocks::row(header, 8);
    headerRow->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("What your agents did")), 0, Qt::AlignVCenter);
    headerRow->addStretch(1);
    auto* exportButton = new FlatButton(QStringLiteral("Export CSV"), Qt::white, false, false);
    exportButton->setObjectName(QStringLiteral("export"));
    connect(exportButton, &FlatButton::clicked, this, &AuditTab::exportCSV);
    headerRow->addWidget(exportButton, 0, Qt::AlignVCenter);
    column->addWidget(header);

    column->addWidget(SettingsBlocks::intro(QStringLiteral(
        "Every tool call and every decision, appended to disk as it happens. Useful when you walk away mid-run "
        "\u2014 and it's what you hand someone who asks whether agents can be trusted against production.")));
    if (!m_exported.isEmpty()) {
        QLabel* saved = SettingsBlocks::label(QStringLiteral("Saved %1 to your Desktop.").arg(m_exported),
                                              Type::caption(), Palette::positive());
        saved->setObjectName(QStringLiteral("exported"));
        column->addWidget(saved);
    }
    if (m_exportFailed) {
        QLabel* failed = SettingsBlocks::label(QStringLiteral("Couldn't save the export to your Desktop."),
                                               Type::caption(), Palette::danger());
        failed->setObjectName(QStringLiteral("exportFailed"));
        column->addWidget(failed);
    }

    const QList<AuditEntry>& today = m_audit.today();
    if (today.isEmpty()) {
        column->addWidget(SettingsBlocks::emptyState(QStringLiteral("Nothing recorded yet today.")));
        return;
    }
    auto* list = new QWidget;
    QBoxLayout* rows = SettingsBlocks::column(list, 4);
    const qsizetype shown = std::min<qsizetype>(today.size(), shownLimit);
    for (qsizetype i = 0; i < shown; ++i)
        rows->addWidget(entryRow(today[i]));
    column->addWidget(list);
}

QWidget* AuditTab::entryRow(const AuditEntry& entry) {
    auto* panel = new RoundedPanel(Palette::card(), 8);
    QBoxLayout* row = SettingsBlocks::row(panel, 11);
    row->setContentsMargins(12, 9, 12, 9);
    QLabel* clock = SettingsBlocks::label(time(entry), Type::mono(11, QFont::Normal), Palette::text3());
    clock->setFixedWidth(62);
    row->addWidget(clock, 0, Qt::AlignTop);

    const QColor color = dot(entry);
    auto* dotColumn = new QVBoxLayout;
    dotColumn->setContentsMargins(0, 4, 0, 0);
    dotColumn->addWidget(new Dot(7, color));
    dotColumn->addStretch(1);
    row->addLayout(dotColumn);

    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(2);
    QBoxLayout* headline = new QHBoxLayout;
    headline->setSpacing(6);
    headline->addWidget(SettingsBlocks::label(AuditLog::displayName(entry.agent), Type::body(), Palette::text()), 0,
                        Qt::AlignVCenter);
    headline->addWidget(SettingsBlocks::label(entry.tool, Type::caption(), Palette::text2()), 0, Qt::AlignVCenter);
    if (entry.kind != AuditKind::tool) {
        QLabel* kind = SettingsBlocks::label(entry.kind.toUpper(), Type::mono(9, QFont::Bold), color);
        kind->setObjectName(QStringLiteral("kind"));
        headline->addWidget(kind, 0, Qt::AlignVCenter);
    }
    headline->addStretch(1);
    words->addLayout(headline);
    if (!entry.detail.isEmpty())
        words->addWidget(SettingsBlocks::style(new ElidedLabel(entry.detail), Type::caption(), Palette::text3()));
    row->addLayout(words, 1);
    return panel;
}
