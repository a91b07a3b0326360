#pragma once

#include "Decision.h"
#include "phone/PhoneHttp.h"
#include "phone/QrCode.h"
#include "risk/Risk.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

class QTcpServer;
class QTcpSocket;
class QTimer;
class SessionStore;

/// Answers approval gates from a phone on the local network: a small HTTP server on the main thread that serves
/// the page of open gates and takes the Deny/Allow presses, guarded by a random token in the pairing URL.
class RemoteApproval final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteApproval)
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)
    Q_PROPERTY(QString token READ token NOTIFY tokenChanged)
    Q_PROPERTY(quint16 port READ port CONSTANT)
    Q_PROPERTY(QString lastError READ lastErrorText NOTIFY lastErrorChanged)
    Q_PROPERTY(QString pairingURL READ pairingURL NOTIFY tokenChanged)

public:
    static constexpr quint16 defaultPort = 8787;
    static constexpr int tokenLength = 32;
    static constexpr std::string_view tokenAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    /// The most of one request that is read; only its first line matters.
    static constexpr qint64 maxRequestBytes = 16384;
    /// A connection gets this long from its start to send its whole request line: a phone sends it at once, and
    /// a peer that trickles bytes cannot hold a slot for long.
    static constexpr int defaultRequestTimeoutMs = 2000;
    /// Then this long, again after every write, to take the response.
    static constexpr int defaultIdleTimeoutMs = 10000;
    /// At this many open connections a new one makes room by dropping the one silent longest.
    static constexpr int defaultMaxConnections = 64;
    /// How long a connection must have sent nothing before it can be dropped to make room.
    static constexpr int silentAfterMs = 100;

    /// Fills the buffer with bytes from a cryptographic source; false when the source failed.
    using RandomBytes = std::function<bool(unsigned char* data, std::size_t size)>;

    explicit RemoteApproval(quint16 port = defaultPort, QObject* parent = nullptr);
    ~RemoteApproval() override;

    /// Draws a new token and listens on all addresses; does nothing while enabled. On failure `lastError` says
    /// why and `enabled` stays false.
    void enable();
    /// Stops listening and forgets the token; connections already accepted finish on their own.
    void disable();

    bool enabled() const { return m_enabled; }
    const QString& token() const { return m_token; }
    quint16 port() const { return m_port; }
    const std::optional<QString>& lastError() const { return m_lastError; }
    QString lastErrorText() const { return m_lastError.value_or(QString()); }

    /// The URL the phone opens: this computer's name with ".local", the port and the token.
    QString pairingURL() const;
    static QString pairingURL(const QString& hostName, quint16 port, const QString& token);
    /// The pairing URL as a QR symbol; nothing when it does not fit one.
    std::optional<QrCode> qrCode() const;

    /// Held weakly: the page reads its gates and sessions on every request.
    void setStore(SessionStore* store);
    SessionStore* store() const { return m_store.data(); }
    /// Receives every decision from the phone, on the main thread.
    std::function<void(const QString& id, Vorlix::Behavior behavior)> onDecision;
    /// Receives every "Allow for this session" from the phone, on the main thread.
    std::function<void(const QString& id)> onAllowForSession;

    /// The whole response to one request's bytes; empty when nothing should be sent.
    QByteArray respond(const QByteArray& request);
    /// The page as it stands now.
    QString page() const;
    /// The same as UTF-8, built again only when a gate, its session or the token changed.
    QByteArray pageBytes() const;
    /// The list of gates alone, as UTF-8, cached as the page is.
    QByteArray gateListBytes() const;
    /// Goes up by one whenever what the page shows changes, so an open page polls for a number and fetches the
    /// list only when there is something new.
    quint64 version() const;

    /// A token of tokenLength characters drawn uniformly from the alphabet (out-of-range bytes are rejected, not
    /// folded), or nothing when the source fails.
    static std::optional<QString> drawToken(const RandomBytes& random);
    /// getrandom(2).
    static bool systemRandom(unsigned char* data, std::size_t size);

    void setRequestTimeout(int milliseconds) { m_requestTimeoutMs = milliseconds; }
    void setIdleTimeout(int milliseconds) { m_idleTimeoutMs = milliseconds; }
    void setMaxConnections(int count) { m_maxConnections = count; }
    /// Accepted connections not yet closed.
    int connectionCount() const { return static_cast<int>(m_connections.size()); }

signals:
    void enabledChanged();
    void tokenChanged();
    void lastErrorChanged();

private:
    /// A question answered from the phone, straight to the store: its refusals go back to the phone as they are.
    std::optional<PhoneHttp::Refusal> answer(const QString& id, const QList<PhoneHttp::Pick>& picks);
    void setEnabled(bool enabled);
    void setToken(const QString& token);
    void setLastError(const std::optional<QString>& error);
    void acceptConnections();
    void startConnection(QTcpSocket* socket);
    void readRequest(QTcpSocket* socket);
    void finishConnection(QTcpSocket* socket);
    /// Drops the connection silent longest; false when none has been silent for silentAfterMs.
    bool dropSilentLongest();
    void heardFrom(QTcpSocket* socket);

    const quint16 m_port;
    bool m_enabled = false;
    QString m_token;
    std::optional<QString> m_lastError;
    QPointer<QTcpServer> m_listener;
    QPointer<SessionStore> m_store;
    // Each open connection with the time it was last heard from (or written to), in nanoseconds on m_clock.
    QHash<QTcpSocket*, qint64> m_connections;
    QElapsedTimer m_clock;
    QTimer* m_acceptLater;
    /// Compares everything the page is made of with what it was; on a change, a new version and no caches.
    void refreshVersion() const;
    /// The store's rating through m_verdicts, noting in `rated` each gate it rates.
    std::function<RiskVerdict(const QString&, const QString&, const std::optional<QString>&)>
    rater(QHash<QString, RiskVerdict>& rated) const;

    // Ratings of the open gates, by tool, detail and working directory.
    mutable QHash<QString, RiskVerdict> m_verdicts;
    mutable QString m_pageKey;
    mutable quint64 m_version = 0;
    mutable QByteArray m_pageBytes;
    mutable QByteArray m_listBytes;
    int m_requestTimeoutMs = defaultRequestTimeoutMs;
    int m_idleTimeoutMs = defaultIdleTimeoutMs;
    int m_maxConnections = defaultMaxConnections;
};
