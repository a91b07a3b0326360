#include "settings/SidebarItem.h"

#include "kit/Palette.h"
#include "kit/SymbolImage.h"
#include "kit/Type.h"

#include <QPainter>

namespace {
constexpr int padX = 12;
constexpr int padY = 9;
constexpr int symbolFrame = 18;
constexpr int symbolSize = 13;
constexpr int gap = 11;
} // namespace

SidebarItem::SidebarItem(SettingsTab tab, QWidget* parent) : HoverButton(parent), m_tab(tab) {
    setText(settingsTabTitle(tab));
    setAccessibleName(text());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &HoverButton::hotChanged, this, [this] { update(); });
}

void SidebarItem::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QString SidebarItem::symbol(SettingsTab tab) {
    switch (tab) {
    case SettingsTab::agents:
        return QStringLiteral("cpu");
    case SettingsTab::rules:
        return QStringLiteral("security-high");
    case SettingsTab::trees:
        return QStringLiteral("vcs-branch");
    case SettingsTab::scores:
        return QStringLiteral("starred");
    case SettingsTab::audit:
        return QStringLiteral("view-list");
    case SettingsTab::phone:
        return QStringLiteral("phone");
    }
    return {};
}

QSize SidebarItem::sizeHint() const {
    const QFontMetrics metrics(Type::body());
    const int line = std::max(metrics.height(), symbolFrame);
    return {padX + symbolFrame + gap + metrics.horizontalAdvance(text()) + padX, padY + line + padY};
}

void SidebarItem::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_selected || hot()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_selected ? Palette::card() : Palette::withOpacity(Palette::card(), 0.5));
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    const QColor foreground = m_selected ? Palette::text() : Palette::text2();
    painter.drawPixmap(QPointF(padX + (symbolFrame - symbolSize) / 2.0, (height() - symbolSize) / 2.0),
                       SymbolImage::pixmap(symbol(m_tab), symbolSize, foreground, devicePixelRatioF()));
    painter.setFont(Type::body());
    painter.setPen(foreground);
    const QRect textBox(padX + symbolFrame + gap, 0, width() - (padX + symbolFrame + gap) - padX, height());
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, text());
}
