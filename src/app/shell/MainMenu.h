#pragma once

#include <functional>

class QWidget;

/// The key equivalents of a menu bar, as shortcuts of a window: Ctrl+Q quits, and the Edit commands
/// (undo, redo, cut, copy, paste, select all) go to whichever widget has the keyboard focus.
class MainMenu final {
public:
    static void install(QWidget& window, const std::function<void()>& quit);
};
