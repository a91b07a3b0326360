#include "settings/AgentsTab.h"

#include "installer/AgentWatcher.h"
#include "installer/Installer.h"
#include "kit/Palette.h"
#include "kit/RoundedPanel.h"
#include "kit/SegmentedPicker.h"
#include "kit/Type.h"
#include "prefs/Prefs.h"
#include "settings/AgentRow.h"
#include "settings/SettingsBlocks.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>

AgentsTab::AgentsTab(Installer& installer, Prefs& prefs, QWidget* parent)
    : TabPage(parent), m_installer(installer), m_prefs(prefs) {
    watch(&installer, &Installer::agentsChanged);
    watch(&installer, &Installer::lastMessageChanged);
    watch(&prefs, &Prefs::autoApproveLevelChanged);
    watch(&prefs, &Prefs::soundEnabledChanged);
    watch(&prefs, &Prefs::launchAtLoginChanged);
    watch(&prefs, &Prefs::notifyWhenFinishedChanged);
    watch(&prefs, &Prefs::notifyWhenWaitingChanged);
    // An agent run for the first time while the tab is open gets its Install button at once.
    new AgentWatcher(installer, this);
    rebuild();
}

int AgentsTab::segmentFor(int level) {
    const auto& levels = Prefs::levels();
    for (int i = 0; i < static_cast<int>(levels.size()); ++i) {
        if (levels[static_cast<std::size_t>(i)].value == level)
            return i;
    }
    return segmentFor(0);
}

void AgentsTab::build(QBoxLayout* column) {
    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Agents")));
    column->addWidget(SettingsBlocks::intro(
        QStringLiteral("Vorlix Agents watches your agents by installing a hook in each one's config. Your existing "
                       "hooks are preserved, and every change is backed up first.")));
    auto* rows = new QWidget;
    QBoxLayout* rowLayout = SettingsBlocks::column(rows, 8);
    for (const Installer::Agent& agent : m_installer.agents())
        rowLayout->addWidget(AgentRow::make(m_installer, agent));
    column->addWidget(rows);

    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Approvals"), 12));
    column->addWidget(SettingsBlocks::intro(
        QStringLiteral("How much to let flow without asking. Read-only work flowing freely is what lets the panel "
                       "show agents working, instead of stopping you for every command.")));
    auto* approvals = new QWidget;
    QBoxLayout* approvalLayout = SettingsBlocks::column(approvals, 10);
    QStringList titles;
    for (const Prefs::Level& level : Prefs::levels())
        titles.append(QString::fromUtf8(level.label));
    auto* picker = new SegmentedPicker(titles);
    picker->setAccessibleName(QStringLiteral("Auto-approve"));
    picker->setObjectName(QStringLiteral("autoApprove"));
    picker->setCurrent(segmentFor(m_prefs.autoApproveLevel()));
    connect(picker, &SegmentedPicker::chosen, this,
            [this](int index) { m_prefs.setAutoApproveLevel(Prefs::levels()[static_cast<std::size_t>(index)].value); });
    approvalLayout->addWidget(picker);
    QLabel* description =
        SettingsBlocks::label(Prefs::levelDescription(m_prefs.autoApproveLevel()), Type::caption(), Palette::text3());
    description->setObjectName(QStringLiteral("levelDescription"));
    description->setWordWrap(true);
    approvalLayout->addWidget(description);
    column->addWidget(SettingsBlocks::card(approvals));

    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Behaviour"), 12));
    auto* behaviour = new QWidget;
    QBoxLayout* behaviourLayout = SettingsBlocks::column(behaviour, 0);
    struct Switch {
        const char* name;
        QString title;
        QString detail;
        bool on;
        void (Prefs::*set)(bool);
    };
    const Switch switches[] = {
        {"soundEnabled", QStringLiteral("Sound alerts"), QStringLiteral("8-bit glitch cue when an agent needs you."),
         m_prefs.soundEnabled(), &Prefs::setSoundEnabled},
        {"notifyWhenFinished", QStringLiteral("Tell me when an agent finishes"),
         QStringLiteral("A notification with its last words; click it for its terminal."), m_prefs.notifyWhenFinished(),
         &Prefs::setNotifyWhenFinished},
        {"notifyWhenWaiting", QStringLiteral("Tell me when an agent is waiting for me"),
         QStringLiteral("When it asks in its own terminal or waits for your next prompt."), m_prefs.notifyWhenWaiting(),
         &Prefs::setNotifyWhenWaiting},
        {"launchAtLogin", QStringLiteral("Launch at login"), QStringLiteral("Start Vorlix Agents automatically."),
         m_prefs.launchAtLogin(), &Prefs::setLaunchAtLogin},
    };
    for (const Switch& entry : switches) {
        if (entry.set != &Prefs::setSoundEnabled) {
            behaviourLayout->addSpacing(12);
            auto* divider = new RoundedPanel(Palette::hairline(), 0);
            divider->setFixedHeight(1);
            behaviourLayout->addWidget(divider);
            behaviourLayout->addSpacing(12);
        }
        behaviourLayout->addWidget(
            SettingsBlocks::toggleRow(QLatin1String(entry.name), entry.title, entry.detail, entry.on,
                                      [prefs = &m_prefs, set = entry.set](bool on) { (prefs->*set)(on); }));
    }
    column->addWidget(SettingsBlocks::card(behaviour));

    if (!m_installer.lastMessage().isEmpty()) {
        auto* panel = new RoundedPanel(Palette::card(), 9);
        QBoxLayout* layout = SettingsBlocks::column(panel, 0);
        layout->setContentsMargins(12, 12, 12, 12);
        QLabel* message = SettingsBlocks::label(m_installer.lastMessage(), Type::caption(), Palette::text2());
        message->setObjectName(QStringLiteral("installerMessage"));
        message->setWordWrap(true);
        layout->addWidget(message);
        column->addWidget(panel);
    }
}
