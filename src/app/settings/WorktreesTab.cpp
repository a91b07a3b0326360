#include "settings/WorktreesTab.h"

#include "kit/ElidedLabel.h"
#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/RoundedPanel.h"
#include "kit/TildePath.h"
#include "kit/Type.h"
#include "sessions/SessionStore.h"
#include "settings/SettingsBlocks.h"
#include "support/AppPaths.h"
#include "worktrees/WorktreeScanner.h"

#include <QBoxLayout>
#include <QLabel>

WorktreesTab::WorktreesTab(SessionStore& store, WorktreeScanner& scanner, QWidget* parent)
    : TabPage(parent), m_store(store), m_scanner(scanner) {
    watch(&scanner, &WorktreeScanner::runningChanged);
    rescan();
    rebuild();
}

void WorktreesTab::rescan() {
    m_scanner.scanInBackground(m_store.sessions());
}

void WorktreesTab::build(QBoxLayout* column) {
    auto* header = new QWidget;
    QBoxLayout* headerRow = SettingsBlocks::row(header, 8);
    headerRow->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Worktrees")), 0, Qt::AlignVCenter);
    headerRow->addStretch(1);
    auto* rescanButton = new FlatButton(QStringLiteral("Rescan"), Qt::white, false, false);
    rescanButton->setEnabled(!m_scanner.running());
    connect(rescanButton, &FlatButton::clicked, this, &WorktreesTab::rescan);
    headerRow->addWidget(rescanButton, 0, Qt::AlignVCenter);
    column->addWidget(header);

    column->addWidget(SettingsBlocks::intro(QStringLiteral(
        "Running several agents at once only works if they aren't standing on each other \u2014 one worktree per "
        "task. Git knows your worktrees but not that an agent is in one; the agent knows its directory but not "
        "that it's a worktree. Vorlix Agents holds both.")));

    if (m_scanner.running()) {
        column->addWidget(SettingsBlocks::emptyState(QStringLiteral("Scanning\u2026")));
        return;
    }
    const QList<Worktree>& worktrees = m_scanner.worktrees();
    if (worktrees.isEmpty()) {
        column->addWidget(SettingsBlocks::emptyState(
            QStringLiteral("No worktrees found. Start an agent inside a git repo, then rescan.")));
        return;
    }
    auto* list = new QWidget;
    QBoxLayout* rows = SettingsBlocks::column(list, 8);
    for (const Worktree& worktree : worktrees)
        rows->addWidget(worktreeRow(worktree));
    column->addWidget(list);
}

QWidget* WorktreesTab::worktreeRow(const Worktree& worktree) {
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 12);
    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(3);
    QBoxLayout* headline = new QHBoxLayout;
    headline->setSpacing(8);
    headline->addWidget(SettingsBlocks::label(worktree.branch, Type::label(), Palette::text()), 0, Qt::AlignVCenter);
    headline->addWidget(SettingsBlocks::label(worktree.repo, Type::caption(), Palette::text2()), 0, Qt::AlignVCenter);
    headline->addStretch(1);
    words->addLayout(headline);
    words->addWidget(SettingsBlocks::style(new ElidedLabel(TildePath::shorten(worktree.path, AppPaths::home())),
                                           Type::caption(), Palette::text3()));
    row->addLayout(words, 1);
    if (worktree.activeAgent) {
        auto* chip = new RoundedPanel(Palette::withOpacity(Palette::positive(), 0.16), 9);
        QBoxLayout* chipLayout = SettingsBlocks::row(chip, 0);
        chipLayout->setContentsMargins(8, 3, 8, 3);
        QFont font = Type::mono(9, QFont::Bold);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.7);
        chipLayout->addWidget(
            SettingsBlocks::label(QStringLiteral("ACTIVE \u00B7 ") + *worktree.activeAgent, font, Palette::positive()));
        row->addWidget(chip, 0, Qt::AlignVCenter);
    }
    return SettingsBlocks::card(content);
}
