#pragma once

#include <QLabel>

/// One line of plain text (agents supply it) that shortens with an ellipsis instead of growing wider than its
/// room; line feeds become spaces.
class ElidedLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedLabel)

public:
    explicit ElidedLabel(const QString& text = QString(), Qt::TextElideMode mode = Qt::ElideRight,
                         QWidget* parent = nullptr);

    const QString& fullText() const { return m_fullText; }
    void setFullText(const QString& text);
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString m_fullText;
    Qt::TextElideMode m_mode;
};
