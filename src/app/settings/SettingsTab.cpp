#include "settings/SettingsTab.h"

#include <QtGlobal>

QString settingsTabTitle(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::agents:
        return QStringLiteral("Agents");
    case SettingsTab::rules:
        return QStringLiteral("Rules");
    case SettingsTab::trees:
        return QStringLiteral("Worktrees");
    case SettingsTab::scores:
        return QStringLiteral("Scores");
    case SettingsTab::audit:
        return QStringLiteral("Activity");
    case SettingsTab::phone:
        return QStringLiteral("Phone");
    }
    return {};
}

std::optional<SettingsTab> settingsTabFromTitle(const QString& title) {
    for (SettingsTab tab : allSettingsTabs) {
        if (settingsTabTitle(tab) == title)
            return tab;
    }
    return std::nullopt;
}

SettingsTab initialSettingsTab() {
    return settingsTabFromTitle(qEnvironmentVariable("VORLIX_TAB")).value_or(SettingsTab::agents);
}
