#include "settings/AgentRow.h"

#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/Type.h"
#include "settings/SettingsBlocks.h"
#include "sprites/SpriteView.h"

#include <QBoxLayout>
#include <QLabel>

using Kind = Installer::Status::Kind;

AgentRow::Look AgentRow::look(const Installer::Status& status) {
    switch (status.kind()) {
    case Kind::installed:
        return {SpriteKind::done, Palette::positive(), Action{QStringLiteral("Remove"), Qt::white, false}};
    case Kind::awaitingTrust:
        // Our hooks are in place; the person still has to trust them in Codex before any of them runs.
        return {SpriteKind::needsApproval, Palette::caution(), Action{QStringLiteral("Remove"), Qt::white, false}};
    case Kind::notInstalled:
        return {SpriteKind::thinking, Palette::text3(), Action{QStringLiteral("Install"), Palette::positive(), true}};
    case Kind::notFound:
        return {SpriteKind::idle, Palette::text3(), std::nullopt};
    case Kind::conflict:
        return {SpriteKind::error, Palette::caution(),
                Action{QStringLiteral("Replace ") + status.detail(), Palette::caution(), true}};
    case Kind::unsupported:
        return {SpriteKind::question, Palette::caution(), std::nullopt};
    }
    return {SpriteKind::idle, Palette::text3(), std::nullopt};
}

void AgentRow::press(Installer& installer, const Installer::Agent& agent) {
    switch (agent.status.kind()) {
    case Kind::installed:
    case Kind::awaitingTrust:
        installer.uninstall(agent.id);
        break;
    case Kind::notInstalled:
        installer.install(agent.id);
        break;
    case Kind::conflict:
        // The installer's message tells what went wrong; installing over hooks that are still there would not help.
        // Hooks the evict cannot name (known only as "notch") stay, and ours then run beside them.
        if (const Installer::MaybeErr error = installer.evict(agent.status.detail(), agent.id);
            !error || error->nothingToDo)
            installer.install(agent.id);
        break;
    case Kind::notFound:
    case Kind::unsupported:
        break;
    }
}

QWidget* AgentRow::make(Installer& installer, const Installer::Agent& agent) {
    const Look shown = look(agent.status);
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 13);
    row->addWidget(new SpriteView(shown.kind, agent.id, 26), 0, Qt::AlignVCenter);

    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(3);
    const QColor nameColor = agent.status.kind() == Kind::notFound ? Palette::text3() : Palette::text();
    words->addWidget(SettingsBlocks::label(agent.name, Type::label(), nameColor));
    QLabel* status = SettingsBlocks::label(agent.status.statusText(), Type::caption(), shown.statusColor);
    status->setObjectName(QStringLiteral("status"));
    words->addWidget(status);
    row->addLayout(words);
    row->addStretch(1);

    if (shown.action) {
        auto* button = new FlatButton(shown.action->title, shown.action->tint, shown.action->filled, false);
        button->setObjectName(QStringLiteral("action"));
        // The row is rebuilt when the installer's list changes, so the agent is copied, not referenced.
        QObject::connect(button, &FlatButton::clicked, content, [&installer, agent] { press(installer, agent); });
        row->addWidget(button, 0, Qt::AlignVCenter);
    }
    QWidget* card = SettingsBlocks::card(content);
    card->setObjectName(QString::fromUtf8(Vorlix::rawValue(agent.id)));
    return card;
}
