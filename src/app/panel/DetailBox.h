#pragma once

#include "sessions/FileChange.h"

#include <QColor>
#include <QScrollArea>
#include <optional>

/// The gate's detail in a rounded, scrolling box: the plain text, or for a file tool the lines it will change.
class DetailBox final : public QScrollArea {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DetailBox)

public:
    static constexpr double textWidth = 440;
    static constexpr int padding = 12;
    static constexpr int maxLines = 4;

    DetailBox(const QString& detail, const std::optional<FileChange>& change, QColor fill, QWidget* parent = nullptr);
    /// Shows another detail in place.
    void setContent(const QString& detail, const std::optional<FileChange>& change, QColor fill);

    /// What the box shows, one string: the detail ("(no arguments)" when empty), then the marked diff lines.
    static QString shownText(const QString& detail, const std::optional<FileChange>& change);
    /// ceil(ascent + descent + leading) of the 13-pixel fixed font.
    static int lineHeight();
    /// One to four lines of text wrapped at 440 pixels, plus the padding; longer text scrolls.
    static int heightFor(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
};
