#pragma once

#include "settings/SettingsTab.h"
#include "worktrees/WorktreeScanner.h"

#include <QList>
#include <QWidget>

class AppCore;
class QScrollArea;
class SidebarItem;
class TabPage;

/// The settings window: a sidebar of six tabs and the chosen tab in a scroll view. Made once; closing only hides
/// it, so the chosen tab survives until the next open.
class SettingsWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWindow)

public:
    static constexpr int windowWidth = 740;
    static constexpr int windowHeight = 660;
    static constexpr int sidebarWidth = 212;

    /// Opens on the tab VORLIX_TAB names (Agents otherwise).
    explicit SettingsWindow(AppCore& core, QWidget* parent = nullptr);

    /// Refreshes the agents' statuses, then shows the window in front and gives it the focus.
    void open();
    void showTab(SettingsTab tab);

    SettingsTab tab() const { return m_tab; }
    TabPage* page() const { return m_page; }
    const QList<SidebarItem*>& sidebarItems() const { return m_items; }
    WorktreeScanner& scanner() { return m_scanner; }

private:
    QWidget* makeSidebar();
    TabPage* makePage(SettingsTab tab);

    AppCore& m_core;
    WorktreeScanner m_scanner;
    SettingsTab m_tab;
    QList<SidebarItem*> m_items;
    QScrollArea* m_scroll = nullptr;
    TabPage* m_page = nullptr;
    bool m_placed = false;
};
