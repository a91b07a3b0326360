#include "settings/ScoresTab.h"

#include "game/Game.h"
#include "kit/Palette.h"
#include "kit/RoundedPanel.h"
#include "kit/Type.h"
#include "settings/SettingsBlocks.h"
#include "sprites/SpriteView.h"

#include <QBoxLayout>
#include <QGraphicsOpacityEffect>
#include <QLabel>

ScoresTab::ScoresTab(AuditLog& audit, Game& game, QWidget* parent) : TabPage(parent), m_audit(audit), m_game(game) {
    watch(&audit, &AuditLog::todayChanged);
    watch(&game, &Game::coinsChanged);
    watch(&game, &Game::streakChanged);
    watch(&game, &Game::bestStreakChanged);
    watch(&game, &Game::bossesBeatenChanged);
    watch(&game, &Game::achievementsChanged);
    rebuild();
}

QColor ScoresTab::trustColor(const AuditLog::Score& score) {
    const qint64 requests = score.approved + score.denied;
    if (requests == 0)
        return Palette::positive();
    const double share = static_cast<double>(score.approved) / static_cast<double>(requests);
    if (share > 0.8)
        return Palette::positive();
    return share > 0.5 ? Palette::caution() : Palette::accent();
}

QString ScoresTab::summary(const AuditLog::Score& score) {
    QString text = QStringLiteral("%1 tools \u00B7 %2 approved \u00B7 %3 denied")
                       .arg(score.toolsRun)
                       .arg(score.approved)
                       .arg(score.denied);
    if (score.autoAllowed >= 1)
        text += QStringLiteral(" \u00B7 %1 auto").arg(score.autoAllowed);
    return text;
}

void ScoresTab::build(QBoxLayout* column) {
    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Vorlix")));
    column->addWidget(gameCard());

    const QList<Achievement>& achievements = m_game.achievements();
    column->addWidget(SettingsBlocks::sectionTitle(
        QStringLiteral("Achievements  %1/%2").arg(m_game.unlockedCount()).arg(achievements.size()), 10));
    auto* list = new QWidget;
    QBoxLayout* rows = SettingsBlocks::column(list, 8);
    for (const Achievement& achievement : achievements)
        rows->addWidget(achievementRow(achievement));
    column->addWidget(list);

    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Today's scoreboard"), 10));
    column->addWidget(SettingsBlocks::intro(QStringLiteral(
        "Which agent is actually earning its keep? Trust is the share of its requests you approved \u2014 an agent "
        "you keep denying is one you don't trust, and that's worth being able to see.")));
    const QList<AuditLog::Score> scores = m_audit.scoreboard();
    if (scores.isEmpty()) {
        column->addWidget(SettingsBlocks::emptyState(QStringLiteral("No agent activity yet today.")));
        return;
    }
    auto* board = new QWidget;
    QBoxLayout* boardRows = SettingsBlocks::column(board, 8);
    for (int i = 0; i < scores.size(); ++i)
        boardRows->addWidget(scoreRow(scores[i], i + 1));
    column->addWidget(board);
}

QWidget* ScoresTab::gameCard() const {
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 0);
    const struct {
        const char* label;
        QString value;
        QColor color;
    } stats[] = {
        {"COINS", QString::number(m_game.coins()), Palette::caution()},
        {"STREAK", QString::number(m_game.streak()) + QLatin1Char('d'), Palette::positive()},
        {"BEST", QString::number(m_game.bestStreak()) + QLatin1Char('d'), Palette::text2()},
        {"BOSSES", QString::number(m_game.bossesBeaten()), Palette::accent()},
    };
    bool first = true;
    for (const auto& stat : stats) {
        if (!first) {
            auto* divider = new RoundedPanel(Palette::hairline(), 0);
            divider->setFixedSize(1, 34);
            row->addWidget(divider, 0, Qt::AlignVCenter);
        }
        first = false;
        QWidget* shown = SettingsBlocks::vorlixStat(QString::fromLatin1(stat.label), stat.value, stat.color);
        shown->setObjectName(QString::fromLatin1(stat.label).toLower());
        row->addWidget(shown, 1);
    }
    return SettingsBlocks::card(content);
}

QWidget* ScoresTab::achievementRow(const Achievement& achievement) {
    const bool unlocked = achievement.unlocked();
    // The whole row fades to 72 % while locked.
    const double opacity = unlocked ? 1.0 : 0.72;
    auto* panel = new RoundedPanel(Palette::withOpacity(Palette::card(), opacity), 9);
    QBoxLayout* row = SettingsBlocks::row(panel, 12);
    row->setContentsMargins(12, 9, 12, 9);

    QFont emojiFont;
    emojiFont.setPixelSize(16);
    QLabel* icon = SettingsBlocks::label(unlocked ? QStringLiteral("\U0001F3C6") : QStringLiteral("\U0001F512"),
                                         emojiFont, Palette::text());
    auto* fade = new QGraphicsOpacityEffect(icon);
    fade->setOpacity(unlocked ? 1.0 : 0.4 * opacity);
    icon->setGraphicsEffect(fade);
    row->addWidget(icon, 0, Qt::AlignVCenter);

    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(2);
    words->addWidget(SettingsBlocks::label(
        achievement.name, Type::label(), Palette::withOpacity(unlocked ? Palette::text() : Palette::text3(), opacity)));
    QLabel* detail =
        SettingsBlocks::label(achievement.detail, Type::caption(), Palette::withOpacity(Palette::text3(), opacity));
    detail->setWordWrap(true);
    words->addWidget(detail);
    row->addLayout(words, 1);
    if (unlocked) {
        QLabel* done = SettingsBlocks::label(QStringLiteral("done"), Type::caption(), Palette::positive());
        done->setObjectName(QStringLiteral("unlocked"));
        row->addWidget(done, 0, Qt::AlignVCenter);
    }
    return panel;
}

QWidget* ScoresTab::scoreRow(const AuditLog::Score& score, int position) {
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 13);
    QLabel* place = SettingsBlocks::label(QStringLiteral("#%1").arg(position), Type::mono(15, QFont::Bold),
                                          position == 1 ? Palette::caution() : Palette::text3());
    place->setFixedWidth(30);
    row->addWidget(place, 0, Qt::AlignVCenter);
    const Vorlix::Source agent = Vorlix::sourceFromRaw(score.agent.toStdString()).value_or(Vorlix::Source::claude);
    row->addWidget(new SpriteView(SpriteKind::shell, agent, 28), 0, Qt::AlignVCenter);

    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(3);
    words->addWidget(SettingsBlocks::label(score.displayName, Type::label(), Palette::text()));
    QLabel* line = SettingsBlocks::label(summary(score), Type::caption(), Palette::text3());
    line->setWordWrap(true);
    words->addWidget(line);
    row->addLayout(words, 1);

    QWidget* trust =
        SettingsBlocks::stat(QStringLiteral("trust"), QStringLiteral("%1%").arg(score.trust()), trustColor(score));
    trust->setObjectName(QStringLiteral("trust"));
    row->addWidget(trust, 0, Qt::AlignVCenter);
    if (score.risky >= 1) {
        QWidget* risky =
            SettingsBlocks::stat(QStringLiteral("risky"), QString::number(score.risky), Palette::caution());
        risky->setObjectName(QStringLiteral("risky"));
        row->addWidget(risky, 0, Qt::AlignVCenter);
    }
    QWidget* card = SettingsBlocks::card(content);
    card->setObjectName(score.agent);
    return card;
}
