#include "kit/PlainLabel.h"
#include "kit/Palette.h"

#include <QLabel>

QLabel* PlainLabel::make(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return style(label, font, color);
}

QLabel* PlainLabel::style(QLabel* label, const QFont& font, const QColor& color) {
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
    return label;
}
