#pragma once

#include <QStringList>
#include <QWidget>

/// A row of equally wide segments of which one is chosen; a click on another segment chooses it.
class SegmentedPicker final : public QWidget {
    Q_OBJECT

public:
    explicit SegmentedPicker(QStringList titles, QWidget* parent = nullptr);

    int current() const { return m_current; }
    /// -1 leaves every segment unchosen.
    void setCurrent(int index);
    const QStringList& titles() const { return m_titles; }
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    /// Titles too long for a segment wrap onto a second line, which makes the picker taller.
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    /// The user chose this segment (also when it was already chosen).
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QStringList m_titles;
    int m_current = -1;
};
