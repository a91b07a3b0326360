#pragma once

#include "panel/DetailText.h"
#include "sessions/FileChange.h"

#include <QColor>
#include <QWidget>
#include <climits>
#include <optional>

class QLabel;
class QScrollArea;

/// The gate's detail in a rounded box that shows whole lines only, wrapped to its width: the plain text, then for a
/// file tool the lines it will change. A box grows for a risky call (elevated, critical) or a diff: it shows as much
/// as its room allows, a risky call's diff whole. Any box that holds more says how many lines are still below, and
/// knows whether its end has been seen.
class DetailBox final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetailBox)

public:
    static constexpr double textWidth = 440;
    static constexpr int padding = 12;
    /// What a box that does not grow shows, and the least a growing one shows however small its room.
    static constexpr int maxLines = 4;

    explicit DetailBox(QWidget* parent = nullptr);
    /// Shows another detail in place, scrolled to its top.
    void setContent(const QString& detail, const std::optional<FileChange>& change, QColor fill, bool risky);
    /// The most a growing box may take, marker included; the screen sets it.
    void setRoom(int height);

    /// The detail ("(no arguments)" when empty) and the marked diff lines, wrapped at textWidth: with all, the whole
    /// diff; otherwise the first LineDiff::maxShown lines and how many more there are.
    static QList<DetailText::Line> linesFor(const QString& detail, const std::optional<FileChange>& change, bool all);
    /// ceil(ascent + descent + leading) of the 13-pixel fixed font.
    static int lineHeight();
    /// Lines in view for this many in all: at most four, or, growing, as many as the room holds but never under four.
    static qsizetype shownFor(qsizetype lines, bool grows, int room = INT_MAX);
    /// The box's height for them, with the marker row when some are out of view.
    static int heightFor(qsizetype lines, bool grows, int room = INT_MAX);

    const QList<DetailText::Line>& lines() const;
    qsizetype shownLines() const { return m_shown; }
    /// Lines under the last one in view.
    qsizetype linesBelow() const;
    /// Whether every line is in view, or the person has scrolled to the last since the content was set.
    bool readToEnd() const;
    QScrollArea* scrollArea() const { return m_scroll; }
    /// "… 3 more lines below" while lines are below, else the count of all lines.
    QString marker() const;

signals:
    void readToEndChanged(bool read);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    void onScrolled();

    QColor m_fill;
    bool m_grows = false;
    int m_room = INT_MAX;
    qsizetype m_shown = 1;
    bool m_reachedEnd = false;
    bool m_reported = true;
    QScrollArea* m_scroll = nullptr;
    DetailText* m_text = nullptr;
    QLabel* m_marker = nullptr;
};
