#pragma once

#include "settings/TabPage.h"

class RemoteApproval;

/// Phone approvals: what they promise, the switch, and while on the QR code and pairing address.
class PhoneTab final : public TabPage {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PhoneTab)

public:
    /// The QR image's side.
    static constexpr int qrSide = 150;

    explicit PhoneTab(RemoteApproval& remote, QWidget* parent = nullptr);

protected:
    void build(QBoxLayout* column) override;

private:
    QWidget* pairingCard();

    RemoteApproval& m_remote;
};
