#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

/// A symbol image of the kit, `size` pixels square, centred in a frame `frameWidth` wide.
class SymbolView final : public QWidget {
    Q_OBJECT

public:
    SymbolView(QString name, int size, int frameWidth, QColor color, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    int m_size;
    QColor m_color;
};
