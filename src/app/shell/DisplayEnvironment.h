#pragma once

#include <QProcessEnvironment>

/// What the environment says about displays, decided before the application object exists.
class DisplayEnvironment final {
public:
    /// An X11 or Wayland display to run the desktop on.
    static bool hasDisplay(const QProcessEnvironment& env);
    /// A Wayland session where the person chose no platform (an empty choice is none, as for Qt) and XWayland is there:
    /// the panel needs the fixed position and stacking that only X11 clients get.
    static bool shouldForceXcb(const QProcessEnvironment& env);
};
