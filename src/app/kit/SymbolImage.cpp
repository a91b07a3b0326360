#include "kit/SymbolImage.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

// The resource lives in a static library: nothing would pull it in unless asked for. Outside any namespace, as
// the macro declares the resource's own function where it stands.
static void loadIcons() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    Q_UNUSED(loaded);
}

QPixmap SymbolImage::pixmap(const QString& name, int pixelSize, const QColor& color, double devicePixelRatio) {
    loadIcons();
    const int device = static_cast<int>(std::ceil(pixelSize * devicePixelRatio));
    QImage image(device, device, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, pixelSize, pixelSize);
    const QIcon themed = QIcon::fromTheme(name);
    const QString ours = QStringLiteral(":/icons/%1.svg").arg(name);
    if (!themed.isNull()) {
        themed.paint(&painter, box.toRect());
    } else if (QFile::exists(ours)) {
        QSvgRenderer(ours).render(&painter, box);
    } else {
        return QPixmap();
    }
    // Both come in their own colours: keep the shape, paint it in ours.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(box, color);
    painter.end();
    return QPixmap::fromImage(image);
}
