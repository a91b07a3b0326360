#pragma once

#include <QByteArray>
#include <QImage>

/// The application's icon for menus and launchers: frame A of the Claude Code idle creature, the same table and
/// dither as the tray icon, in pink on the island's black rounded square.
class AppIcon final {
public:
    /// size × size pixels; cells snap to whole pixels so small sizes stay crisp.
    static QImage render(int size);
    /// The same picture as a scalable SVG document.
    static QByteArray svg();
};
