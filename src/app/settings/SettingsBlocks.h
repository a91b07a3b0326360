#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>

class QBoxLayout;
class QLabel;
class QWidget;

/// The pieces the settings tabs are built from: headings, paragraphs, placeholders, switch rows, numbers.
/// Every label is plain text, so agent-supplied words are never read as markup.
class SettingsBlocks final {
public:
    static QLabel* label(const QString& text, const QFont& font, QColor color, QWidget* parent = nullptr);
    /// Gives a label its font and text colour.
    static QLabel* style(QLabel* label, const QFont& font, QColor color);
    /// The text in capitals, in the section style, with wider letter spacing.
    static QLabel* sectionTitle(const QString& text, int extraAbove = 0);
    /// The content on a card padded 14, spanning the column's width.
    static QWidget* card(QWidget* content);
    /// A paragraph that wraps onto as many lines as it needs.
    static QLabel* intro(const QString& text);
    /// The placeholder of an empty list, on a rounded card.
    static QWidget* emptyState(const QString& text);
    /// Title and detail, then a tinted switch bound to the value; onChange runs with each flip.
    static QWidget* toggleRow(const QString& name, const QString& title, const QString& detail, bool isOn,
                              std::function<void(bool)> onChange);
    /// A symbol in green and a line of text.
    static QWidget* promise(const QString& symbol, const QString& text);
    /// The large number over a small label of the game card.
    static QWidget* vorlixStat(const QString& label, const QString& value, QColor color);
    /// The number over a label at the trailing edge of a scoreboard row.
    static QWidget* stat(const QString& label, const QString& value, QColor color);
    /// A horizontal or vertical row without margins.
    static QBoxLayout* row(QWidget* owner, int spacing);
    static QBoxLayout* column(QWidget* owner, int spacing);
};
