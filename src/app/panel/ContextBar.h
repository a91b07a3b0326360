#pragma once

#include "sessions/ContextUsage.h"

#include <QColor>
#include <QWidget>

/// A row of rounded cells, lit from the left by the share of the context window a session has used.
class ContextBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContextBar)

public:
    static constexpr int segments = 12;
    static constexpr double warmAbove = 0.85;

    explicit ContextBar(double fraction, QWidget* parent = nullptr);

    double fraction() const { return m_fraction; }
    void setFraction(double fraction);
    /// 0 without a window to measure against, otherwise the share capped at 1.
    static double fractionOf(const ContextUsage& usage);
    /// Nearly full: the label and the lit cells turn yellow.
    static bool nearlyFull(const ContextUsage& usage);
    /// round(fraction × segments), halves away from zero.
    static int litCells(double fraction, int segments);
    static QColor cellColor(int index, double fraction, int segments);

    QSize sizeHint() const override { return {120, 6}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_fraction;
};
