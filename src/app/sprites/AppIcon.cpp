#include "sprites/AppIcon.h"

#include "kit/Palette.h"
#include "sprites/PixelSprite.h"

#include <QPainter>

namespace {

const PixelSprite::Frame& creature() {
    return PixelSprite::cache().constFind(QStringLiteral("claude-idle")).value().front();
}

bool litCell(int row, int column) {
    return PixelSprite::litIntensity(creature()[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)],
                                     column, row);
}

const QColor island(13, 13, 15);
constexpr double cornerShare = 0.22;

struct Layout {
    int cell;
    int offset;
};

// Whole-pixel cells: the creature fills about four fifths of the icon and is centred in it.
Layout layout(int size) {
    const int cell = std::max(1, size * 13 / (16 * PixelSprite::grid));
    return {cell, (size - cell * PixelSprite::grid) / 2};
}

} // namespace

QImage AppIcon::render(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (size < PixelSprite::grid)
        return image;
    const Layout at = layout(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(island);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size * cornerShare, size * cornerShare);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Palette::accent());
    for (int r = 0; r < PixelSprite::grid; ++r) {
        for (int c = 0; c < PixelSprite::grid; ++c) {
            if (litCell(r, c))
                painter.drawRect(at.offset + c * at.cell, at.offset + r * at.cell, at.cell, at.cell);
        }
    }
    return image;
}

QByteArray AppIcon::svg() {
    // Drawn on the 256-pixel grid of the largest PNG, so every renderer places the cells identically.
    constexpr int side = 256;
    const Layout at = layout(side);
    QByteArray out = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                    "viewBox=\"0 0 %1 %1\" shape-rendering=\"crispEdges\">\n"
                                    "<rect width=\"%1\" height=\"%1\" rx=\"%2\" fill=\"%3\"/>\n")
                         .arg(side)
                         .arg(side * cornerShare)
                         .arg(island.name())
                         .toUtf8();
    // The lit cells as one path of row runs: filled as one shape, with no seams between neighbouring cells.
    QString path;
    for (int r = 0; r < PixelSprite::grid; ++r) {
        for (int c = 0; c < PixelSprite::grid; ++c) {
            if (!litCell(r, c))
                continue;
            const int first = c;
            while (c + 1 < PixelSprite::grid && litCell(r, c + 1))
                ++c;
            path += QStringLiteral("M%1 %2h%3v%4h-%3z")
                        .arg(at.offset + first * at.cell)
                        .arg(at.offset + r * at.cell)
                        .arg((c - first + 1) * at.cell)
                        .arg(at.cell);
        }
    }
    out += QStringLiteral("<path fill=\"%1\" d=\"%2\"/>\n").arg(Palette::accent().name(), path).toUtf8();
    out += "</svg>\n";
    return out;
}
