#include "phone/RemoteApproval.h"

#include "phone/PhoneHttp.h"
#include "phone/PhonePage.h"
#include "phone/QrCode.h"
#include "sessions/SessionStore.h"

#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/random.h>

namespace {
// Room for a burst of phones and browser tabs queued while the main thread is busy.
constexpr int listenBacklog = 512;
// The largest multiple of the alphabet's size that fits a byte: bytes from here up would favour early letters.
constexpr unsigned rejectFrom = 256 - 256 % RemoteApproval::tokenAlphabet.size();

// Each field with its length, so that no two different lists of fields make the same key.
void addField(QString& key, const QString& field) {
    key += QString::number(field.size());
    key += QLatin1Char(':');
    key += field;
}
} // namespace

RemoteApproval::RemoteApproval(quint16 port, QObject* parent)
    : QObject(parent), m_port(port), m_acceptLater(new QTimer(this)) {
    m_clock.start();
    m_acceptLater->setSingleShot(true);
    m_acceptLater->setInterval(20);
    connect(m_acceptLater, &QTimer::timeout, this, &RemoteApproval::acceptConnections);
}

RemoteApproval::~RemoteApproval() {
    // The connections close as children of this object; by then nothing of it may be called back.
    for (QTcpSocket* socket : m_connections.keys())
        socket->disconnect(this);
}

void RemoteApproval::enable() {
    if (m_enabled)
        return;
    const std::optional<QString> token = drawToken(&RemoteApproval::systemRandom);
    if (!token) {
        setLastError(QStringLiteral("Could not draw an access token: ") + QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    setToken(*token);

    auto* listener = new QTcpServer(this);
    listener->setListenBacklogSize(listenBacklog);
    if (!listener->listen(QHostAddress::Any, m_port)) {
        const QString reason = listener->errorString();
        delete listener;
        setLastError(QStringLiteral("Could not listen on port %1: %2").arg(m_port).arg(reason));
        setEnabled(false);
        return;
    }
    connect(listener, &QTcpServer::newConnection, this, &RemoteApproval::acceptConnections);
    m_listener = listener;
    setEnabled(true);
    setLastError(std::nullopt);
}

void RemoteApproval::disable() {
    if (m_listener) {
        m_listener->close();
        m_listener->deleteLater();
        m_listener = nullptr;
    }
    setEnabled(false);
    setToken(QString());
}

void RemoteApproval::setEnabled(bool enabled) {
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    emit enabledChanged();
}

void RemoteApproval::setToken(const QString& token) {
    if (m_token == token)
        return;
    m_token = token;
    emit tokenChanged();
}

void RemoteApproval::setLastError(const std::optional<QString>& error) {
    if (m_lastError == error)
        return;
    m_lastError = error;
    emit lastErrorChanged();
}

void RemoteApproval::setStore(SessionStore* store) {
    m_store = store;
}

QString RemoteApproval::pairingURL() const {
    return pairingURL(QSysInfo::machineHostName(), m_port, m_token);
}

QString RemoteApproval::pairingURL(const QString& hostName, quint16 port, const QString& token) {
    QString host = hostName;
    host.replace(QLatin1Char(' '), QLatin1Char('-'));
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return QStringLiteral("http://%1.local:%2/?t=%3").arg(host).arg(port).arg(token);
}

std::optional<QrCode> RemoteApproval::qrCode() const {
    return QrCode::encode(pairingURL().toUtf8());
}

QByteArray RemoteApproval::respond(const QByteArray& request) {
    PhoneHttp::Site site;
    site.page = [this] { return pageBytes(); };
    site.gates = [this] { return gateListBytes(); };
    site.version = [this] { return version(); };
    site.decide = [this](const QString& id, Vorlix::Behavior behavior) {
        if (onDecision)
            onDecision(id, behavior);
    };
    site.answer = [this](const QString& id, const QList<PhoneHttp::Pick>& picks) { return answer(id, picks); };
    site.leave = [this](const QString& id) {
        if (m_store)
            m_store->leaveToTerminal(id);
    };
    site.allowForSession = [this](const QString& id) {
        if (onAllowForSession)
            onAllowForSession(id);
    };
    return PhoneHttp::respond(request, m_token, site);
}

std::optional<PhoneHttp::Refusal> RemoteApproval::answer(const QString& id, const QList<PhoneHttp::Pick>& picks) {
    QString why = QStringLiteral("that request is no longer waiting");
    switch (m_store ? m_store->answer(id, picks, &why) : SessionStore::AnswerStatus::gone) {
    case SessionStore::AnswerStatus::answered:
        return std::nullopt;
    case SessionStore::AnswerStatus::invalid:
        return PhoneHttp::Refusal{"400 Bad Request", why};
    case SessionStore::AnswerStatus::gone:
        break;
    }
    return PhoneHttp::Refusal{"404 Not Found", why};
}

std::function<RiskVerdict(const QString&, const QString&, const std::optional<QString>&)>
RemoteApproval::rater(QHash<QString, RiskVerdict>& rated) const {
    const SessionStore* store = m_store.data();
    const PhonePage::Assess rate = [store](const QString& tool, const QString& detail,
                                           const std::optional<QString>& cwd) {
        return store->assess(tool, detail, cwd);
    };
    // Rating is a pure function of its inputs and by far the costliest part of a page: each open gate is rated
    // once, and only the ratings of gates still open are kept.
    return [this, rate, &rated](const QString& tool, const QString& detail, const std::optional<QString>& cwd) {
        QString key;
        addField(key, tool);
        addField(key, detail);
        if (cwd)
            addField(key, *cwd);
        const auto known = m_verdicts.constFind(key);
        const RiskVerdict verdict = known != m_verdicts.constEnd() ? *known : rate(tool, detail, cwd);
        rated.insert(key, verdict);
        return verdict;
    };
}

QString RemoteApproval::page() const {
    const quint64 current = version();
    if (!m_store)
        return PhonePage::html({}, {}, m_token, {}, current);
    QHash<QString, RiskVerdict> rated;
    QString html = PhonePage::html(m_store->gates(), m_store->sessions(), m_token, rater(rated), current);
    m_verdicts = std::move(rated);
    return html;
}

QByteArray RemoteApproval::pageBytes() const {
    refreshVersion();
    if (m_pageBytes.isEmpty())
        m_pageBytes = page().toUtf8();
    return m_pageBytes;
}

QByteArray RemoteApproval::gateListBytes() const {
    refreshVersion();
    if (m_listBytes.isEmpty()) {
        if (!m_store)
            return m_listBytes = PhonePage::gateList({}, {}, {}).toUtf8();
        QHash<QString, RiskVerdict> rated;
        m_listBytes = PhonePage::gateList(m_store->gates(), m_store->sessions(), rater(rated)).toUtf8();
        m_verdicts = std::move(rated);
    }
    return m_listBytes;
}

quint64 RemoteApproval::version() const {
    refreshVersion();
    return m_version;
}

void RemoteApproval::refreshVersion() const {
    // Everything the page is made of.
    QString key;
    const auto add = [&key](const QString& field) { addField(key, field); };
    add(m_token);
    if (m_store) {
        for (const Gate* gate : m_store->gates()) {
            add(gate->id());
            add(gate->toolName());
            add(gate->detail());
            const Session* session = m_store->sessionWithId(gate->sessionID());
            add(session ? QString::fromUtf8(Vorlix::rawValue(session->source()).data()) : QString());
            add(session ? session->cwd() : QString());
        }
    }
    if (key == m_pageKey && m_version > 0)
        return;
    m_pageKey = std::move(key);
    ++m_version;
    m_pageBytes.clear();
    m_listBytes.clear();
}

std::optional<QString> RemoteApproval::drawToken(const RandomBytes& random) {
    QString token;
    token.reserve(tokenLength);
    unsigned char bytes[64];
    while (token.size() < tokenLength) {
        if (!random(bytes, sizeof bytes))
            return std::nullopt;
        for (const unsigned char byte : bytes) {
            if (byte >= rejectFrom)
                continue;
            token += QLatin1Char(tokenAlphabet[byte % tokenAlphabet.size()]);
            if (token.size() == tokenLength)
                break;
        }
    }
    return token;
}

bool RemoteApproval::systemRandom(unsigned char* data, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::getrandom(data + filled, size - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

void RemoteApproval::acceptConnections() {
    if (!m_listener)
        return;
    while (m_listener->hasPendingConnections()) {
        // Never wait for peers that hold slots without finishing a request: the one silent longest makes room.
        // When every slot is busy being served, the rest are taken a moment later.
        if (connectionCount() >= m_maxConnections && !dropSilentLongest()) {
            m_acceptLater->start();
            return;
        }
        startConnection(m_listener->nextPendingConnection());
    }
}

bool RemoteApproval::dropSilentLongest() {
    // Silent: nothing heard for a while and nothing waiting in the kernel. A burst of real requests is read within
    // moments of being accepted, and a request that has arrived but not been read yet is not silence.
    qint64 oldestTime = m_clock.nsecsElapsed() - qint64(silentAfterMs) * 1'000'000;
    QTcpSocket* oldest = nullptr;
    for (auto it = m_connections.constBegin(); it != m_connections.constEnd(); ++it) {
        int unread = 0;
        if (it.value() >= oldestTime ||
            (::ioctl(int(it.key()->socketDescriptor()), FIONREAD, &unread) == 0 && unread > 0))
            continue;
        oldest = it.key();
        oldestTime = it.value();
    }
    if (oldest == nullptr)
        return false;
    m_connections.remove(oldest);
    oldest->disconnect(this);
    oldest->abort();
    oldest->deleteLater();
    return true;
}

void RemoteApproval::startConnection(QTcpSocket* socket) {
    // Ours, not the listener's: a connection outlives disable().
    socket->setParent(this);
    socket->setReadBufferSize(maxRequestBytes);
    m_connections.insert(socket, m_clock.nsecsElapsed());

    // Nobody holds a slot for ever: not by trickling a request, nor by never taking the response.
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    deadline->setObjectName(QStringLiteral("deadline"));
    connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
    deadline->start(m_requestTimeoutMs);

    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { finishConnection(socket); });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket, deadline] {
        heardFrom(socket);
        deadline->start(m_idleTimeoutMs);
    });
    if (socket->bytesAvailable() > 0)
        readRequest(socket);
}

void RemoteApproval::heardFrom(QTcpSocket* socket) {
    if (const auto it = m_connections.find(socket); it != m_connections.end())
        *it = m_clock.nsecsElapsed();
}

void RemoteApproval::readRequest(QTcpSocket* socket) {
    heardFrom(socket);
    // The request line is all that is needed; wait for its end unless the buffer is full already.
    if (!socket->canReadLine() && socket->bytesAvailable() < maxRequestBytes)
        return;
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const QByteArray reply = respond(socket->read(maxRequestBytes));
    if (reply.isEmpty()) {
        socket->abort();
        return;
    }
    if (auto* deadline = socket->findChild<QTimer*>(QStringLiteral("deadline")))
        deadline->start(m_idleTimeoutMs);
    socket->write(reply);
    socket->flush();
    // Lets the queued bytes go out before closing; abort() could cut the response short.
    socket->disconnectFromHost();
}

void RemoteApproval::finishConnection(QTcpSocket* socket) {
    if (m_connections.remove(socket) == 0)
        return;
    socket->deleteLater();
    acceptConnections();
}
