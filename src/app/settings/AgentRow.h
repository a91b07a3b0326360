#pragma once

#include "installer/Installer.h"
#include "sessions/SpriteKind.h"

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

/// One agent of the Agents tab: its creature, name, hook status and the button that changes it.
class AgentRow final {
public:
    struct Action {
        QString title;
        QColor tint;
        bool filled;
    };
    /// How a status shows: the creature's kind, the status line's colour and the button, if any.
    struct Look {
        SpriteKind kind;
        QColor statusColor;
        std::optional<Action> action;
    };

    static Look look(const Installer::Status& status);
    /// A card for the agent whose button calls the installer.
    static QWidget* make(Installer& installer, const Installer::Agent& agent);
    /// What the button does: uninstall, install, or evict the owner then install.
    static void press(Installer& installer, const Installer::Agent& agent);
};
