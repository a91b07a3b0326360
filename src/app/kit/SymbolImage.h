#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QStringList>

/// Small monochrome symbols by their symbol-font names ("gearshape.fill", "power", "lock.fill", …):
/// the icon theme's picture when it has one, tinted, else our own drawing.
class SymbolImage final {
public:
    /// A square pixmap of side pixelSize (device-independent pixels) in one colour; a null pixmap for a
    /// name neither the theme nor our drawings know.
    static QPixmap pixmap(const QString& system, int pixelSize, const QColor& color, double devicePixelRatio = 1.0);
    /// The names we can always draw.
    static QStringList drawnNames();
    /// Our own drawing of a symbol into a square; false for an unknown name.
    static bool draw(QPainter& painter, const QString& system, const QRectF& box, const QColor& color);
};
