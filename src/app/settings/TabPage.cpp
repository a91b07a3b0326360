#include "settings/TabPage.h"

#include <QVBoxLayout>

TabPage::TabPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void TabPage::scheduleRebuild() {
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_pending)
                rebuild();
        },
        Qt::QueuedConnection);
}

void TabPage::rebuild() {
    m_pending = false;
    delete m_body;
    m_body = new QWidget(this);
    auto* column = new QVBoxLayout(m_body);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(18);
    build(column);
    column->addStretch(1);
    layout()->addWidget(m_body);
}
