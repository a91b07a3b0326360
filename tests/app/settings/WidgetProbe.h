#pragma once

#include "kit/FlatButton.h"
#include "kit/Palette.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QStringList>
#include <QWidget>

// Reading a built tab the way a person does: by the words on it and the buttons they can press.
namespace WidgetProbe {

/// Lets queued rebuilds run.
inline void settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

inline QStringList texts(const QWidget* root) {
    QStringList out;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            out.append(label->text());
    return out;
}

inline QLabel* label(const QWidget* root, const QString& text) {
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->text() == text)
            return label;
    return nullptr;
}

inline QStringList buttonTitles(const QWidget* root) {
    QStringList out;
    for (const FlatButton* button : root->findChildren<FlatButton*>())
        out.append(button->text());
    return out;
}

inline FlatButton* button(const QWidget* root, const QString& title) {
    for (FlatButton* button : root->findChildren<FlatButton*>())
        if (button->text() == title)
            return button;
    return nullptr;
}

inline QColor textColor(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

} // namespace WidgetProbe
