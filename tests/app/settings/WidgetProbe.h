#pragma once

#include "kit/FlatButton.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QStringList>
#include <QWidget>

// Reading a built tab: its parts by their object names, and the words on them where the words are data.
namespace WidgetProbe {

/// Lets queued rebuilds run and the widgets they replaced go.
inline void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

inline QStringList texts(const QWidget* root) {
    QStringList out;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            out.append(label->text());
    return out;
}

/// The first child of type T whose text is exactly text.
template <typename T> T* withText(const QWidget* root, const QString& text) {
    for (T* child : root->findChildren<T*>())
        if (child->text() == text)
            return child;
    return nullptr;
}

/// The child of that object name inside the child of the given name, or the tab itself.
template <typename T = QWidget> T* named(const QWidget* root, const QString& name, const QString& inside = QString()) {
    const QWidget* scope = inside.isEmpty() ? root : root->findChild<QWidget*>(inside);
    return scope != nullptr ? scope->findChild<T*>(name) : nullptr;
}

} // namespace WidgetProbe
