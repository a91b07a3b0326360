#include "kit/SymbolImage.h"

#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>

namespace {

// Each drawing works in a 24 × 24 box; fills use the brush, lines the pen.
using Drawing = std::function<void(QPainter&)>;

QPainterPath gear() {
    QPainterPath path;
    constexpr int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double angle = i * M_PI / teeth;
        const double radius = (i % 2 == 0) ? 11.0 : 8.5;
        const QPointF a(12 + radius * std::cos(angle - 0.22), 12 + radius * std::sin(angle - 0.22));
        const QPointF b(12 + radius * std::cos(angle + 0.22), 12 + radius * std::sin(angle + 0.22));
        if (i == 0)
            path.moveTo(a);
        else
            path.lineTo(a);
        path.lineTo(b);
    }
    path.closeSubpath();
    path.addEllipse(QPointF(12, 12), 3.5, 3.5);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

const QHash<QString, Drawing>& drawings() {
    static const QHash<QString, Drawing> table = {
        {"gearshape.fill", [](QPainter& p) { p.fillPath(gear(), p.brush()); }},
        {"power",
         [](QPainter& p) {
             p.drawArc(QRectF(3.5, 4.5, 17, 17), 60 * 16, -300 * 16);
             p.drawLine(QPointF(12, 2), QPointF(12, 11));
         }},
        {"cpu",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(5, 5, 14, 14), 2, 2);
             p.fillRect(QRectF(9, 9, 6, 6), p.pen().color());
             for (double x : {8.5, 12.0, 15.5}) {
                 p.drawLine(QPointF(x, 1.5), QPointF(x, 5));
                 p.drawLine(QPointF(x, 19), QPointF(x, 22.5));
                 p.drawLine(QPointF(1.5, x), QPointF(5, x));
                 p.drawLine(QPointF(19, x), QPointF(22.5, x));
             }
         }},
        {"checkmark.shield",
         [](QPainter& p) {
             QPainterPath shield;
             shield.moveTo(12, 2);
             shield.lineTo(20.5, 5.5);
             shield.cubicTo(20.5, 14, 17, 19, 12, 22);
             shield.cubicTo(7, 19, 3.5, 14, 3.5, 5.5);
             shield.closeSubpath();
             p.drawPath(shield);
             p.drawPolyline(QPolygonF({QPointF(8, 12), QPointF(11, 15), QPointF(16.5, 9)}));
         }},
        {"arrow.triangle.branch",
         [](QPainter& p) {
             p.drawLine(QPointF(12, 22), QPointF(12, 12));
             p.drawLine(QPointF(12, 12), QPointF(5, 4));
             p.drawLine(QPointF(12, 12), QPointF(19, 4));
             p.drawPolyline(QPolygonF({QPointF(4, 8.5), QPointF(4.5, 3.5), QPointF(9.5, 3.5)}));
             p.drawPolyline(QPolygonF({QPointF(14.5, 3.5), QPointF(19.5, 3.5), QPointF(20, 8.5)}));
         }},
        {"trophy",
         [](QPainter& p) {
             QPainterPath cup;
             cup.moveTo(6, 3);
             cup.lineTo(18, 3);
             cup.cubicTo(18, 11, 15, 14, 12, 14);
             cup.cubicTo(9, 14, 6, 11, 6, 3);
             p.drawPath(cup);
             p.drawArc(QRectF(2, 4, 6, 6), 90 * 16, 180 * 16);
             p.drawArc(QRectF(16, 4, 6, 6), 90 * 16, -180 * 16);
             p.drawLine(QPointF(12, 14), QPointF(12, 19));
             p.drawLine(QPointF(7, 21), QPointF(17, 21));
         }},
        {"list.bullet.rectangle",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(2, 4, 20, 16), 3, 3);
             for (double y : {8.5, 12.0, 15.5}) {
                 p.drawPoint(QPointF(6.5, y));
                 p.drawLine(QPointF(9.5, y), QPointF(18, y));
             }
         }},
        {"iphone",
         [](QPainter& p) {
             p.drawRoundedRect(QRectF(6.5, 2, 11, 20), 2.5, 2.5);
             p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
         }},
        {"lock.fill",
         [](QPainter& p) {
             p.drawArc(QRectF(7, 3, 10, 12), 0, 180 * 16);
             p.drawLine(QPointF(7, 9), QPointF(7, 11));
             p.drawLine(QPointF(17, 9), QPointF(17, 11));
             QPainterPath body;
             body.addRoundedRect(QRectF(4.5, 10.5, 15, 11), 2, 2);
             p.fillPath(body, p.pen().color());
         }},
        {"eye.slash.fill",
         [](QPainter& p) {
             QPainterPath eye;
             eye.moveTo(2, 12);
             eye.quadTo(12, 2, 22, 12);
             eye.quadTo(12, 22, 2, 12);
             p.fillPath(eye, p.pen().color());
             p.save();
             p.setCompositionMode(QPainter::CompositionMode_Clear);
             p.drawLine(QPointF(4, 2.5), QPointF(21, 22.5));
             p.restore();
             p.drawLine(QPointF(3, 2), QPointF(20, 22));
         }},
        {"qrcode",
         [](QPainter& p) {
             for (const QPointF& corner : {QPointF(3, 3), QPointF(14, 3), QPointF(3, 14)}) {
                 p.drawRect(QRectF(corner, QSizeF(7, 7)));
                 p.fillRect(QRectF(corner + QPointF(2.5, 2.5), QSizeF(2, 2)), p.pen().color());
             }
             for (const QPointF& dot :
                  {QPointF(14, 14), QPointF(18, 14), QPointF(16, 17), QPointF(14, 19.5), QPointF(19, 19.5)})
                 p.fillRect(QRectF(dot, QSizeF(2.5, 2.5)), p.pen().color());
         }},
    };
    return table;
}

// freedesktop icon names for the same pictures, when the desktop's theme has them.
QString themeName(const QString& system) {
    static const QHash<QString, QString> names = {
        {"gearshape.fill", "preferences-system"},
        {"power", "system-shutdown"},
        {"lock.fill", "changes-prevent"},
        {"trophy", "starred"},
        {"iphone", "phone"},
        {"cpu", "cpu"},
    };
    return names.value(system);
}

} // namespace

QStringList SymbolImage::drawnNames() {
    QStringList names = drawings().keys();
    names.sort();
    return names;
}

bool SymbolImage::draw(QPainter& painter, const QString& system, const QRectF& box, const QColor& color) {
    const auto it = drawings().constFind(system);
    if (it == drawings().constEnd())
        return false;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / 24.0, box.height() / 24.0);
    QPen pen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(color);
    // Outlines are drawn with the pen only; the drawings fill explicitly where a symbol is solid.
    if (system != QLatin1String("gearshape.fill"))
        painter.setBrush(Qt::NoBrush);
    (*it)(painter);
    painter.restore();
    return true;
}

QPixmap SymbolImage::pixmap(const QString& system, int pixelSize, const QColor& color, double devicePixelRatio) {
    const int device = static_cast<int>(std::ceil(pixelSize * devicePixelRatio));
    QImage image(device, device, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&image);
    const QRectF box(0, 0, pixelSize, pixelSize);
    const QString theme = themeName(system);
    const QIcon icon = theme.isEmpty() ? QIcon() : QIcon::fromTheme(theme);
    if (!icon.isNull()) {
        // Theme icons come in their own colours: keep the shape, paint it in ours.
        icon.paint(&painter, box.toRect());
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(box, color);
    } else if (!draw(painter, system, box, color)) {
        return QPixmap();
    }
    painter.end();
    return QPixmap::fromImage(image);
}
