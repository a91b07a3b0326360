#pragma once

#include <QString>
#include <array>
#include <optional>

/// The settings window's tabs, in sidebar order. The title is also the value VORLIX_TAB names.
enum class SettingsTab { agents, rules, trees, scores, audit, phone };

inline constexpr std::array<SettingsTab, 6> allSettingsTabs{SettingsTab::agents, SettingsTab::rules,
                                                            SettingsTab::trees,  SettingsTab::scores,
                                                            SettingsTab::audit,  SettingsTab::phone};

QString settingsTabTitle(SettingsTab tab);
/// Exact, case-sensitive match of a title.
std::optional<SettingsTab> settingsTabFromTitle(const QString& title);
/// The tab VORLIX_TAB names, else Agents.
SettingsTab initialSettingsTab();
