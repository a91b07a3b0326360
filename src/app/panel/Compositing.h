#pragma once

/// Whether a compositing manager draws the desktop. Without one an X window has no see-through pixels, so the
/// panel cuts its window to the island's outline instead.
class Compositing final {
public:
    /// True off X11 (Wayland compositors always composite; offscreen has nothing to cut); on X11, whether the
    /// screen's _NET_WM_CM_S<n> selection has an owner.
    static bool running();
};
