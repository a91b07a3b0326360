#include "settings/PhoneTab.h"

#include "kit/FlatButton.h"
#include "kit/Palette.h"
#include "kit/RoundedPanel.h"
#include "kit/Type.h"
#include "phone/PairingAddresses.h"
#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"
#include "settings/QrImage.h"
#include "settings/SettingsBlocks.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QtMath>

PhoneTab::PhoneTab(RemoteApproval& remote, QWidget* parent) : TabPage(parent), m_remote(remote) {
    watch(&remote, &RemoteApproval::enabledChanged);
    watch(&remote, &RemoteApproval::tokenChanged);
    watch(&remote, &RemoteApproval::lastErrorChanged);
    rebuild();
}

void PhoneTab::build(QBoxLayout* column) {
    column->addWidget(SettingsBlocks::sectionTitle(QStringLiteral("Approve from your phone")));
    column->addWidget(SettingsBlocks::intro(QStringLiteral(
        "A gate already waits almost 24 hours (86000 s) for a human \u2014 so answering from somewhere other "
        "than your desk costs nothing. Start a long run, walk away, approve from the kitchen.")));

    auto* promises = new QWidget;
    QBoxLayout* promiseColumn = SettingsBlocks::column(promises, 11);
    promiseColumn->addWidget(SettingsBlocks::promise(
        QStringLiteral("changes-prevent"),
        QStringLiteral("Plain HTTP on every network interface of this machine: turn it on only on a "
                       "trusted network. No cloud, no account, no relay.")));
    promiseColumn->addWidget(SettingsBlocks::promise(
        QStringLiteral("view-hidden"), QStringLiteral("Off unless you turn it on \u2014 it opens a listening port.")));
    promiseColumn->addWidget(SettingsBlocks::promise(
        QStringLiteral("view-barcode-qr"),
        QStringLiteral("A fresh token each time, in the URL shown here and in the log: anyone with it "
                       "can answer.")));
    column->addWidget(SettingsBlocks::card(promises));

    if (m_remote.enabled()) {
        column->addWidget(pairingCard());
    } else {
        auto* enable = new FlatButton(QStringLiteral("Enable phone approvals"), Palette::positive(), true, false);
        enable->setObjectName(QStringLiteral("enable"));
        connect(enable, &FlatButton::clicked, &m_remote, [this] {
            m_remote.enable();
            if (m_remote.enabled())
                PairingAddresses::logEnabled(m_remote);
        });
        column->addWidget(enable, 0, Qt::AlignLeft);
    }
    if (m_remote.lastError()) {
        QLabel* error = SettingsBlocks::label(*m_remote.lastError(), Type::caption(), Palette::caution());
        error->setObjectName(QStringLiteral("error"));
        column->addWidget(error);
    }
}

QWidget* PhoneTab::pairingCard() {
    auto* content = new QWidget;
    QBoxLayout* row = SettingsBlocks::row(content, 20);
    if (const std::optional<QrCode> code = m_remote.qrCode()) {
        auto* frame = new RoundedPanel(Qt::white, 10);
        QBoxLayout* frameLayout = SettingsBlocks::column(frame, 0);
        frameLayout->setContentsMargins(10, 10, 10, 10);
        // Painted at the screen's pixel density so that every module stays a crisp square.
        const qreal ratio = devicePixelRatioF();
        QPixmap image = QPixmap::fromImage(QrImage::render(*code, qRound(qrSide * ratio)));
        image.setDevicePixelRatio(ratio);
        auto* picture = new QLabel;
        picture->setObjectName(QStringLiteral("qr"));
        picture->setPixmap(image);
        picture->setFixedSize(qrSide, qrSide);
        frameLayout->addWidget(picture);
        row->addWidget(frame, 0, Qt::AlignTop);
    }
    QBoxLayout* words = new QVBoxLayout;
    words->setSpacing(11);
    words->addWidget(
        SettingsBlocks::label(QStringLiteral("Scan with your phone's camera"), Type::label(), Palette::text()));
    // A read-only text box, since the address has no spaces to wrap at and the user copies it from here.
    // Every address, one per line: the .local name needs mDNS on the phone's network, an address does not.
    const QStringList urls = PairingAddresses::urls(m_remote);
    auto* url = new QPlainTextEdit(urls.join(QLatin1Char('\n')));
    url->setObjectName(QStringLiteral("pairingURL"));
    url->setReadOnly(true);
    url->setFrameShape(QFrame::NoFrame);
    url->setWordWrapMode(QTextOption::WrapAnywhere);
    url->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    url->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    url->setFont(Type::caption());
    url->document()->setDocumentMargin(0);
    QPalette palette = url->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Palette::text2());
    url->setPalette(palette);
    url->viewport()->setAutoFillBackground(false);
    // Up to two lines per address.
    url->setFixedHeight(qCeil(2 * urls.size() * QFontMetricsF(Type::caption()).lineSpacing()) + 2);
    words->addWidget(url);
    auto* turnOff = new FlatButton(QStringLiteral("Turn off"), Palette::caution(), false, false);
    turnOff->setObjectName(QStringLiteral("turnOff"));
    connect(turnOff, &FlatButton::clicked, &m_remote, &RemoteApproval::disable);
    words->addWidget(turnOff, 0, Qt::AlignLeft);
    words->addStretch(1);
    row->addLayout(words, 1);
    return SettingsBlocks::card(content);
}
