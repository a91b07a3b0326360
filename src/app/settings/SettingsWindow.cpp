#include "settings/SettingsWindow.h"

#include "AppCore.h"
#include "kit/Palette.h"
#include "kit/Type.h"
#include "settings/AgentsTab.h"
#include "settings/AuditTab.h"
#include "settings/PhoneTab.h"
#include "settings/RulesTab.h"
#include "settings/ScoresTab.h"
#include "settings/SettingsBlocks.h"
#include "settings/SidebarItem.h"
#include "settings/WorktreesTab.h"
#include "sprites/SpriteView.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace {
void fill(QWidget* widget, QColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
} // namespace

SettingsWindow::SettingsWindow(AppCore& core, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_core(core), m_tab(initialSettingsTab()) {
    setWindowTitle(QStringLiteral("Vorlix Agents"));
    setFixedSize(windowWidth, windowHeight);
    fill(this, Palette::bg());

    QBoxLayout* row = SettingsBlocks::row(this, 0);
    row->addWidget(makeSidebar());

    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    fill(m_scroll->viewport(), Palette::bg());
    m_scroll->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 4px 2px 4px 0; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,56); border-radius: 4px; min-height: 30px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(255,255,255,90); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    row->addWidget(m_scroll, 1);
    showTab(m_tab);
}

QWidget* SettingsWindow::makeSidebar() {
    auto* sidebar = new QWidget;
    sidebar->setFixedWidth(sidebarWidth);
    fill(sidebar, QColor::fromRgbF(0.06f, 0.06f, 0.07f));
    QBoxLayout* column = SettingsBlocks::column(sidebar, 3);
    column->setContentsMargins(12, 0, 12, 14);

    auto* header = new QWidget;
    QBoxLayout* headerRow = SettingsBlocks::row(header, 11);
    headerRow->setContentsMargins(14, 46, 14, 22);
    headerRow->addWidget(new SpriteView(SpriteKind::needsApproval, Vorlix::Source::claude, 30), 0, Qt::AlignVCenter);
    QBoxLayout* names = new QVBoxLayout;
    names->setSpacing(2);
    names->addWidget(SettingsBlocks::label(QStringLiteral("Vorlix Agents"), Type::title(), Palette::text()));
    names->addWidget(
        SettingsBlocks::label(QStringLiteral("v" VORLIX_VERSION), Type::mono(11, QFont::Normal), Palette::text3()));
    headerRow->addLayout(names);
    headerRow->addStretch(1);
    column->addWidget(header);

    for (SettingsTab tab : allSettingsTabs) {
        auto* item = new SidebarItem(tab);
        connect(item, &SidebarItem::clicked, this, [this, tab] { showTab(tab); });
        m_items.append(item);
        column->addWidget(item);
    }
    column->addStretch(1);
    return sidebar;
}

TabPage* SettingsWindow::makePage(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::agents:
        return new AgentsTab(m_core.installer(), m_core.prefs());
    case SettingsTab::rules:
        return new RulesTab(m_core.rules(), m_core.store().sessionRules(), m_core.auditLog());
    case SettingsTab::trees:
        return new WorktreesTab(m_core.store(), m_scanner);
    case SettingsTab::scores:
        return new ScoresTab(m_core.auditLog(), m_core.game());
    case SettingsTab::audit:
        return new AuditTab(m_core.auditLog());
    case SettingsTab::phone:
        return new PhoneTab(m_core.remote());
    }
    return nullptr;
}

void SettingsWindow::open() {
    m_core.installer().refresh();
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void SettingsWindow::showTab(SettingsTab tab) {
    m_tab = tab;
    for (SidebarItem* item : m_items)
        item->setSelected(item->tab() == tab);
    // A fresh page each time: view-local state such as the export line belongs to one visit.
    delete m_scroll->takeWidget();
    m_page = makePage(tab);
    m_scroll->setWidget(m_page);
    m_scroll->verticalScrollBar()->setValue(0);
}
