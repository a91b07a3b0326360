#pragma once

#include "Decision.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

/// The phone page's HTTP: one request in, one whole response out. Pure; the sockets live in RemoteApproval.
class PhoneHttp final {
public:
    /// The page, as UTF-8.
    using Page = std::function<QByteArray()>;
    using Decide = std::function<void(const QString& id, Vorlix::Behavior behavior)>;

    /// The response to a request, or nothing for an empty request or one that is not UTF-8. Only the request
    /// line is read. A POST carrying the token is a decision, any other method with the token gets the page.
    static QByteArray respond(const QByteArray& request, const QString& token, const Page& page, const Decide& decide);
    /// Whether "t=" immediately followed by the token occurs anywhere in the target. An empty token never
    /// matches. Takes the same time wherever the token differs, so response times give no hint of it.
    static bool hasToken(const QString& target, const QString& token);
    /// The value of key in the target's query, taken as written (no percent-decoding).
    static std::optional<QString> value(const QString& key, const QString& target);
    static QByteArray response(const char* status, const char* contentType, const QByteArray& body);
};
