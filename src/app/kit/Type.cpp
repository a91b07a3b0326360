#include "kit/Type.h"

#include <QFontDatabase>
#include <QGuiApplication>

QFont Type::mono(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont Type::standard(int pixelSize, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

const QFont& Type::caption() {
    static const QFont font = mono(12, QFont::Normal);
    return font;
}

const QFont& Type::body() {
    static const QFont font = standard(13, QFont::Normal);
    return font;
}

const QFont& Type::bodyMono() {
    static const QFont font = mono(13, QFont::Normal);
    return font;
}

const QFont& Type::label() {
    static const QFont font = standard(14, QFont::DemiBold);
    return font;
}

const QFont& Type::title() {
    static const QFont font = standard(16, QFont::DemiBold);
    return font;
}

const QFont& Type::big() {
    static const QFont font = mono(28, QFont::Bold);
    return font;
}

const QFont& Type::section() {
    static const QFont font = mono(11, QFont::DemiBold);
    return font;
}
