#pragma once

#include "kit/HoverButton.h"
#include "settings/SettingsTab.h"

/// One entry of the settings sidebar: the tab's symbol and title on a card while selected, half a card while the
/// pointer is over it.
class SidebarItem final : public HoverButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SidebarItem)

public:
    explicit SidebarItem(SettingsTab tab, QWidget* parent = nullptr);

    SettingsTab tab() const { return m_tab; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    /// The sidebar symbol of a tab.
    static QString symbol(SettingsTab tab);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SettingsTab m_tab;
    bool m_selected = false;
};
