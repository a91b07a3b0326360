#pragma once

#include "settings/TabPage.h"

class Installer;
class Prefs;

/// Wiring the agents up and tuning how much flows without asking.
class AgentsTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AgentsTab)

public:
    AgentsTab(Installer& installer, Prefs& prefs, QWidget* parent = nullptr);

    /// The picker's segment for a stored level: -1, 1, and 0 for anything else.
    static int segmentFor(int level);

protected:
    void build(QBoxLayout* column) override;

private:
    Installer& m_installer;
    Prefs& m_prefs;
};
