#include "sessions/Session.h"

#include "support/VisibleText.h"

Session::Session(QString id, Vorlix::Source source, QString cwd, QDateTime now, QObject* parent)
    : QObject(parent), m_id(std::move(id)), m_source(source), m_cwd(std::move(cwd)), m_startedAt(now),
      m_lastSeen(std::move(now)) {}

QString Session::agent() const {
    return QString::fromUtf8(Vorlix::rawValue(m_source).data());
}

namespace {
// Assigns and reports whether anything changed, so each setter notifies only on a real change.
template <typename T> bool assign(T& field, const T& value) {
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void Session::setCwd(const QString& cwd) {
    if (assign(m_cwd, cwd))
        emit cwdChanged();
}

void Session::setState(SpriteKind state) {
    if (assign(m_state, state))
        emit stateChanged();
}

void Session::setActivity(const QString& activity) {
    if (assign(m_activity, activity))
        emit activityChanged();
}

void Session::setToolCount(qint64 count) {
    if (assign(m_toolCount, count))
        emit toolCountChanged();
}

void Session::setLastSeen(const QDateTime& t) {
    if (assign(m_lastSeen, t))
        emit lastSeenChanged();
}

void Session::setTerminal(const std::optional<Vorlix::TerminalContext>& terminal) {
    if (assign(m_terminal, terminal))
        emit terminalChanged();
}

void Session::setTranscriptPath(const std::optional<QString>& path) {
    if (assign(m_transcriptPath, path))
        emit transcriptPathChanged();
}

void Session::setContext(const std::optional<ContextUsage>& context) {
    if (assign(m_context, context))
        emit contextChanged();
}

void Session::setAttention(Attention attention, const QString& message) {
    const bool kindChanged = assign(m_attention, attention);
    const bool messageChanged = assign(m_agentMessage, message);
    if (kindChanged || messageChanged)
        emit attentionChanged();
}

QString Session::projectName(const QString& cwd) {
    QString path = cwd;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    // Shown on one line: a folder named with a bidi control or a line break cannot dress up as something else.
    if (slash < 0 || path.size() == 1)
        return VisibleText::oneLine(path);
    return VisibleText::oneLine(path.mid(slash + 1));
}

QString Session::elapsed(const QDateTime& now) const {
    return elapsedText(m_startedAt.msecsTo(now) / 1000);
}

QString Session::elapsedText(qint64 seconds) {
    if (seconds > 59)
        return QStringLiteral("%1m %2s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1s").arg(seconds);
}
