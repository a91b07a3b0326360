#include "shell/MainMenu.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QWidget>

namespace {
void addAction(QWidget& window, const QString& title, const QKeySequence& keys, const std::function<void()>& run) {
    auto* action = new QAction(title, &window);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &window, run);
    window.addAction(action);
}

// Text widgets handle these keys themselves; the actions reach the rest (a read-only view, a spin box…)
// through the same slot names.
std::function<void()> toFocus(const char* slot) {
    return [slot] {
        if (QWidget* focus = QApplication::focusWidget())
            QMetaObject::invokeMethod(focus, slot);
    };
}
} // namespace

void MainMenu::install(QWidget& window, const std::function<void()>& quit) {
    addAction(window, QStringLiteral("Quit Vorlix Agents"), QKeySequence(Qt::CTRL | Qt::Key_Q), quit);
    addAction(window, QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), toFocus("undo"));
    addAction(window, QStringLiteral("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), toFocus("redo"));
    addAction(window, QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), toFocus("cut"));
    addAction(window, QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), toFocus("copy"));
    addAction(window, QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), toFocus("paste"));
    addAction(window, QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), toFocus("selectAll"));
}
