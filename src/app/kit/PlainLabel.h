#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

/// A label for text that may come from an agent: never read as rich text, in one font and one colour.
class PlainLabel final {
public:
    static QLabel* make(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
    /// Sets the font and the text colour of an existing label.
    static QLabel* style(QLabel* label, const QFont& font, const QColor& color);
};
