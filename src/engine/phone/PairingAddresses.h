#pragma once

#include <QHostAddress>
#include <QList>
#include <QStringList>

class RemoteApproval;

/// The phone page's URLs: the ".local" name, which needs mDNS on the phone's network, then one per IPv4 address
/// of the machine, which needs nothing.
class PairingAddresses final {
public:
    /// `pairingURL` first, then the same URL for each non-loopback IPv4 address, in the order given.
    static QStringList urls(const QString& pairingURL, const QList<QHostAddress>& addresses);
    /// With this machine's addresses.
    static QStringList urls(const RemoteApproval& remote);
    /// The URL lines and the plain-HTTP warning, however phone approvals were turned on.
    static void logEnabled(const RemoteApproval& remote);
};
