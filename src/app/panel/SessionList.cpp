#include "panel/SessionList.h"

#include "kit/Metrics.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/Type.h"
#include "panel/SessionRow.h"

#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

SessionList::SessionList(const QString& home, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_home(home), m_clock(clock) {
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, Metrics::sectionGap, 0, 0);
    m_column->setSpacing(Metrics::gap);

    m_empty = new QWidget(this);
    auto* emptyColumn = new QVBoxLayout(m_empty);
    emptyColumn->setContentsMargins(0, Metrics::islandPadding, 0, Metrics::islandPadding);
    auto* none = PlainLabel::make(QStringLiteral("No agents running"), Type::caption(), Palette::text3(), m_empty);
    none->setAlignment(Qt::AlignCenter);
    emptyColumn->addWidget(none);
    m_column->addWidget(m_empty);

    m_elapsedTick.setInterval(1000);
    connect(&m_elapsedTick, &QTimer::timeout, this, [this] {
        for (SessionRow* row : std::as_const(m_rows))
            row->refreshElapsed();
    });
}

void SessionList::setSessions(const QList<Session*>& sessions) {
    for (qsizetype i = m_rows.size() - 1; i >= 0; --i) {
        if (std::find(sessions.begin(), sessions.end(), m_rows[i]->session()) == sessions.end()) {
            delete m_rows[i];
            m_rows.removeAt(i);
        }
    }
    // Rows follow the store's order: new sessions go where the store has them.
    for (qsizetype i = 0; i < sessions.size(); ++i) {
        if (i < m_rows.size() && m_rows[i]->session() == sessions[i]) {
            m_rows[i]->refresh();
            continue;
        }
        const auto at = std::find_if(m_rows.begin(), m_rows.end(),
                                     [&](const SessionRow* row) { return row->session() == sessions[i]; });
        SessionRow* row = at != m_rows.end() ? *at : newRow(*sessions[i]);
        if (at != m_rows.end()) {
            m_rows.erase(at);
            m_column->removeWidget(row);
            row->refresh();
        }
        m_rows.insert(i, row);
        m_column->insertWidget(static_cast<int>(i) + 1, row);
        row->show();
    }
    m_empty->setVisible(sessions.isEmpty());
}

SessionRow* SessionList::newRow(const Session& session) {
    auto* row = new SessionRow(session, m_home, m_clock, this);
    connect(row, &SessionRow::clicked, this, [this, row] {
        if (const Session* shown = row->session())
            emit goToTerminal(*shown);
    });
    return row;
}

void SessionList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_elapsedTick.start();
}

void SessionList::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_elapsedTick.stop();
}
