#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

/// Small monochrome symbols by their freedesktop icon names ("preferences-system", "phone", …): the icon
/// theme's picture when it has one, else ours, from the resource, in one colour.
class SymbolImage final {
public:
    /// A square pixmap of side pixelSize (device-independent pixels) in one colour; a null pixmap for a
    /// name neither the theme nor our resource knows.
    static QPixmap pixmap(const QString& name, int pixelSize, const QColor& color, double devicePixelRatio = 1.0);
};
