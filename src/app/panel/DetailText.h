#pragma once

#include "sessions/LineDiff.h"

#include <QList>
#include <QWidget>

/// The lines of a detail box, already wrapped, painted one per line height: a diff line on its red or green
/// strip. Only the lines in view are painted, so a long heredoc costs what a short one does.
class DetailText final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetailText)

public:
    struct Line {
        QString text;
        DiffLine::Kind kind = DiffLine::Kind::context;
        /// Part of the diff under the detail (its context lines are greyed; the detail's own are not).
        bool diff = false;
        bool operator==(const Line&) const = default;
    };

    explicit DetailText(QWidget* parent = nullptr);
    void setLines(QList<Line> lines, int lineHeight);
    const QList<Line>& lines() const { return m_lines; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<Line> m_lines;
    int m_lineHeight = 1;
};
