#include "sprites/MenuBarIcon.h"

#include "sprites/PixelSprite.h"

#include <QPainter>

namespace {
// The icon's rows are laid out from a bottom-left origin (y = 18 − (r + 1) · cell); Qt's y grows
// downward, so the same square's top edge is at r · cell.
QRectF cellRect(int row, int column) {
    const double bottomUpY = MenuBarIcon::side - (row + 1) * MenuBarIcon::cell;
    const double topDownY = MenuBarIcon::side - bottomUpY - MenuBarIcon::cell;
    return QRectF(column * MenuBarIcon::cell, topDownY, MenuBarIcon::cell, MenuBarIcon::cell);
}
} // namespace

QImage MenuBarIcon::render(const QColor& color, int scale) {
    const int pixels = static_cast<int>(side) * scale;
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const PixelSprite::Frame& frame = PixelSprite::cache().constFind(QStringLiteral("claude-idle")).value().front();
    QPainter painter(&image);
    painter.scale(scale, scale);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    for (int r = 0; r < PixelSprite::grid; ++r) {
        for (int c = 0; c < PixelSprite::grid; ++c) {
            if (PixelSprite::litIntensity(frame[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)], c, r))
                painter.drawRect(cellRect(r, c));
        }
    }
    return image;
}

QIcon MenuBarIcon::icon(const QColor& color) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap = QPixmap::fromImage(render(color, scale));
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}
