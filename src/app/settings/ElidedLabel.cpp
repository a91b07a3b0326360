#include "settings/ElidedLabel.h"

#include <QResizeEvent>

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent), m_fullText(text) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // One line: line feeds in a detail would otherwise break it anyway.
    m_fullText.replace(QLatin1Char('\n'), QLatin1Char(' '));
    setText(m_fullText);
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, fontMetrics().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, width()));
}
