#include "settings/SettingsBlocks.h"

#include "kit/Card.h"
#include "kit/Palette.h"
#include "kit/PlainLabel.h"
#include "kit/RoundedPanel.h"
#include "kit/SymbolView.h"
#include "kit/ToggleSwitch.h"
#include "kit/Type.h"

#include <QBoxLayout>
#include <QLabel>

QLabel* SettingsBlocks::label(const QString& text, const QFont& font, QColor color, QWidget* parent) {
    return PlainLabel::make(text, font, color, parent);
}

QLabel* SettingsBlocks::style(QLabel* label, const QFont& font, QColor color) {
    return PlainLabel::style(label, font, color);
}

QLabel* SettingsBlocks::sectionTitle(const QString& text, int extraAbove) {
    QFont font = Type::section();
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.4);
    QLabel* title = label(text.toUpper(), font, Palette::text3());
    title->setContentsMargins(0, extraAbove, 0, 0);
    return title;
}

QWidget* SettingsBlocks::card(QWidget* content) {
    content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return new Card(Palette::card(), 14, content);
}

QLabel* SettingsBlocks::intro(const QString& text) {
    QLabel* paragraph = label(text, Type::body(), Palette::text2());
    paragraph->setWordWrap(true);
    return paragraph;
}

QWidget* SettingsBlocks::emptyState(const QString& text) {
    auto* panel = new RoundedPanel(Palette::card(), 10);
    QBoxLayout* layout = column(panel, 0);
    layout->setContentsMargins(0, 34, 0, 34);
    QLabel* lines = label(text, Type::body(), Palette::text3());
    lines->setAlignment(Qt::AlignCenter);
    lines->setWordWrap(true);
    layout->addWidget(lines);
    return panel;
}

QWidget* SettingsBlocks::toggleRow(const QString& name, const QString& title, const QString& detail, bool isOn,
                                   std::function<void(bool)> onChange) {
    auto* widget = new QWidget;
    QBoxLayout* layout = row(widget, 8);
    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(2);
    words->addWidget(label(title, Type::body(), Palette::text()));
    words->addWidget(label(detail, Type::caption(), Palette::text3()));
    layout->addLayout(words);
    layout->addStretch(1);
    auto* toggle = new ToggleSwitch(Palette::positive());
    toggle->setAccessibleName(title);
    toggle->setObjectName(name);
    toggle->setChecked(isOn);
    QObject::connect(toggle, &ToggleSwitch::toggled, widget,
                     [onChange = std::move(onChange)](bool on) { onChange(on); });
    layout->addWidget(toggle, 0, Qt::AlignVCenter);
    return widget;
}

QWidget* SettingsBlocks::promise(const QString& symbol, const QString& text) {
    auto* widget = new QWidget;
    QBoxLayout* layout = row(widget, 11);
    layout->addWidget(new SymbolView(symbol, 12, 18, Palette::withOpacity(Palette::positive(), 0.85)), 0,
                      Qt::AlignVCenter);
    // Wrapped, so a long promise never widens the page past the window.
    QLabel* words = label(text, Type::body(), Palette::text2());
    words->setWordWrap(true);
    layout->addWidget(words, 1, Qt::AlignVCenter);
    return widget;
}

QWidget* SettingsBlocks::vorlixStat(const QString& labelText, const QString& value, QColor color) {
    auto* widget = new QWidget;
    QBoxLayout* layout = column(widget, 4);
    QLabel* number = label(value, Type::mono(22, QFont::Bold), color);
    QFont small = Type::mono(9, QFont::DemiBold);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    QLabel* name = label(labelText, small, Palette::text3());
    layout->addWidget(number, 0, Qt::AlignHCenter);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    return widget;
}

QWidget* SettingsBlocks::stat(const QString& labelText, const QString& value, QColor color) {
    auto* widget = new QWidget;
    widget->setFixedWidth(54);
    QBoxLayout* layout = column(widget, 2);
    layout->addWidget(label(value, Type::mono(15, QFont::Bold), color), 0, Qt::AlignRight);
    layout->addWidget(label(labelText, Type::mono(10, QFont::Normal), Palette::text3()), 0, Qt::AlignRight);
    return widget;
}

QBoxLayout* SettingsBlocks::row(QWidget* owner, int spacing) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QBoxLayout* SettingsBlocks::column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}
