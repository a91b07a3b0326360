#pragma once

#include "settings/TabPage.h"

class SessionStore;
class WorktreeScanner;
struct Worktree;

/// The git worktrees of the repositories the agents work in, and which agent stands in which.
class WorktreesTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WorktreesTab)

public:
    /// Starts a scan when none is running, so the tab never claims "none found" without having looked.
    WorktreesTab(SessionStore& store, WorktreeScanner& scanner, QWidget* parent = nullptr);

    void rescan();

protected:
    void build(QBoxLayout* column) override;

private:
    static QWidget* worktreeRow(const Worktree& worktree);

    SessionStore& m_store;
    WorktreeScanner& m_scanner;
};
