#include "phone/PairingAddresses.h"

#include "phone/RemoteApproval.h"
#include "sessions/SessionStore.h"
#include "support/Log.h"

#include <QNetworkInterface>
#include <QUrl>

QStringList PairingAddresses::urls(const QString& pairingURL, const QList<QHostAddress>& addresses) {
    QStringList urls{pairingURL};
    for (const QHostAddress& address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol || address.isLoopback())
            continue;
        QUrl url(pairingURL);
        url.setHost(address.toString());
        if (!urls.contains(url.toString()))
            urls << url.toString();
    }
    return urls;
}

QStringList PairingAddresses::urls(const RemoteApproval& remote) {
    return urls(remote.pairingURL(), QNetworkInterface::allAddresses());
}

void PairingAddresses::logEnabled(const RemoteApproval& remote) {
    for (const QString& url : urls(remote))
        Log::line(QStringLiteral("VORLIX_REMOTE_URL ") + url);
    Log::line(QStringLiteral("Vorlix Agents: the phone page is plain HTTP on every network interface (VPN and public "
                             "Wi-Fi included); the token in the URL travels in clear text. Use it only on a trusted "
                             "local network."));
}
