#pragma once

#include "kit/FlatButton.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QStringList>
#include <QWidget>

// Reading a built tab: its parts by their object names, and the words on them where the words are data.
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

inline FlatButton* button(const QWidget* root, const QString& title) {
    for (FlatButton* button : root->findChildren<FlatButton*>())
        if (button->text() == title)
            return button;
    return nullptr;
}

/// The child of that object name inside the child of the given name, or the tab itself.
template <typename T = QWidget> T* named(const QWidget* root, const QString& name, const QString& inside = QString()) {
    const QWidget* scope = inside.isEmpty() ? root : root->findChild<QWidget*>(inside);
    return scope != nullptr ? scope->findChild<T*>(name) : nullptr;
}

} // namespace WidgetProbe
