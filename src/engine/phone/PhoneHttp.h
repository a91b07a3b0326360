#pragma once

#include "Decision.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

/// The phone page's HTTP: one request in, one whole response out. Pure; the sockets live in RemoteApproval.
class PhoneHttp final {
public:
    /// A piece of the page, as UTF-8.
    using Page = std::function<QByteArray()>;
    using Decide = std::function<void(const QString& id, Vorlix::Behavior behavior)>;

    /// One option picked: question index, option index.
    using Pick = std::pair<int, int>;
    /// Why an answer was not taken: the status line and the words for the person.
    struct Refusal {
        const char* status;
        QString reason;
    };
    using Answer = std::function<std::optional<Refusal>(const QString& id, const QList<Pick>& picks)>;
    using Leave = std::function<void(const QString& id)>;

    /// What the server has to offer; any of them may be unset.
    struct Site {
        /// The whole page.
        Page page;
        /// The list of gates alone ("/gates").
        Page gates;
        /// A number that changes whenever the set of gates does ("/v").
        std::function<quint64()> version;
        Decide decide;
        /// "a=answer": the options picked for a question, each "answer=Q:O".
        Answer answer;
        /// "a=terminal": the person answers in the agent's own terminal.
        Leave leave;
        /// "Allow for this session" on a gate.
        std::function<void(const QString& id)> allowForSession;
    };

    /// The response to a request, or nothing for an empty request or one that is not UTF-8. Only the request
    /// line is read, and every request must carry the token. A POST is a decision whatever its path; any other
    /// method gets the version at "/v", the list at "/gates" and the page at any other path. A decision may carry
    /// "scope=session", with "a=allow" only; any other scope is refused and decides nothing.
    static QByteArray respond(const QByteArray& request, const QString& token, const Site& site);
    /// Whether "t=" immediately followed by the token occurs anywhere in the target. An empty token never
    /// matches. Takes the same time wherever the token differs, so response times give no hint of it.
    static bool hasToken(const QString& target, const QString& token);
    /// The value of key in the target's query, taken as written (no percent-decoding).
    static std::optional<QString> value(const QString& key, const QString& target);
    /// Every value of key, in order.
    static QStringList values(const QString& key, const QString& target);
    /// "Q:O" values as picks; nothing when one is not two numbers from 0 (a ":" may come as "%3A").
    static std::optional<QList<Pick>> picks(const QStringList& values);
    /// Whether the target's query names the key at all, with or without a value.
    static bool names(const QString& key, const QString& target);
    static QByteArray response(const char* status, const char* contentType, const QByteArray& body);

private:
    static QByteArray answer(const QString& id, const QString& target, const Site& site);
};
