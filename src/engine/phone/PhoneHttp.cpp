#include "phone/PhoneHttp.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace {
const QString crlf = QStringLiteral("\r\n");

QByteArray plain(const char* status, const char* body) {
    return PhoneHttp::response(status, "text/plain", body);
}

QByteArray allowForSession(const QString& id, const QString& action, const QString& target,
                           const PhoneHttp::Site& site) {
    if (PhoneHttp::value(QStringLiteral("scope"), target) != QLatin1String("session") ||
        action != QLatin1String("allow"))
        return plain("400 Bad Request", "scope must be session, with a=allow");
    if (site.allowForSession)
        site.allowForSession(id);
    return plain("200 OK", "ok");
}
} // namespace

QByteArray PhoneHttp::respond(const QByteArray& request, const QString& token, const Site& site) {
    if (request.isEmpty() || !request.isValidUtf8())
        return {};
    const QString text = QString::fromUtf8(request);
    const QStringList lines = text.split(crlf, Qt::SkipEmptyParts);
    const QString firstLine = lines.isEmpty() ? QString() : lines.first();
    const QStringList parts = firstLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return plain("400 Bad Request", "bad");
    const QString& method = parts[0];
    const QString& target = parts[1];

    if (!hasToken(target, token))
        return plain("401 Unauthorized", "no");
    if (method == QLatin1String("POST")) {
        const std::optional<QString> id = value(QStringLiteral("id"), target);
        const std::optional<QString> action = value(QStringLiteral("a"), target);
        if (!id || !action)
            return plain("400 Bad Request", "bad");
        if (*action == QLatin1String("answer"))
            return answer(*id, target, site);
        if (*action == QLatin1String("terminal")) {
            if (site.leave)
                site.leave(*id);
            return plain("200 OK", "ok");
        }
        if (names(QStringLiteral("scope"), target))
            return allowForSession(*id, *action, target, site);
        if (site.decide)
            site.decide(*id, *action == QLatin1String("allow") ? Vorlix::Behavior::allow : Vorlix::Behavior::deny);
        return plain("200 OK", "ok");
    }
    const QStringView path = QStringView(target).left(target.indexOf(QLatin1Char('?')));
    if (path == QLatin1String("/v"))
        return response("200 OK", "text/plain", QByteArray::number(site.version ? site.version() : 0));
    const Page& body = path == QLatin1String("/gates") ? site.gates : site.page;
    return response("200 OK", "text/html; charset=utf-8", body ? body() : QByteArray());
}

bool PhoneHttp::hasToken(const QString& target, const QString& token) {
    if (token.isEmpty())
        return false;
    const qsizetype length = token.size();
    bool found = false;
    for (qsizetype at = target.indexOf(QLatin1String("t=")); at >= 0 && at + 2 + length <= target.size();
         at = target.indexOf(QLatin1String("t="), at + 1)) {
        char16_t difference = 0;
        for (qsizetype i = 0; i < length; ++i)
            difference |= target[at + 2 + i].unicode() ^ token[i].unicode();
        found |= difference == 0;
    }
    return found;
}

std::optional<QString> PhoneHttp::value(const QString& key, const QString& target) {
    const QStringList all = values(key, target);
    return all.isEmpty() ? std::nullopt : std::optional(all.first());
}

QStringList PhoneHttp::values(const QString& key, const QString& target) {
    QStringList found;
    qsizetype start = 0;
    while (start < target.size()) {
        qsizetype end = start;
        while (end < target.size() && target[end] != QLatin1Char('?') && target[end] != QLatin1Char('&'))
            ++end;
        // Split at the first "=" after any leading ones, into at most two non-empty parts.
        qsizetype nameStart = start;
        while (nameStart < end && target[nameStart] == QLatin1Char('='))
            ++nameStart;
        qsizetype equals = nameStart;
        while (equals < end && target[equals] != QLatin1Char('='))
            ++equals;
        if (equals < end && equals + 1 < end && QStringView(target).sliced(nameStart, equals - nameStart) == key)
            found << target.sliced(equals + 1, end - equals - 1);
        start = end + 1;
    }
    return found;
}

std::optional<QList<PhoneHttp::Pick>> PhoneHttp::picks(const QStringList& values) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,4})(?::|%3[aA])([0-9]{1,4})$"));
    QList<Pick> out;
    for (const QString& value : values) {
        const QRegularExpressionMatch match = pattern.match(value);
        if (!match.hasMatch())
            return std::nullopt;
        out.append({match.captured(1).toInt(), match.captured(2).toInt()});
    }
    return out;
}

QByteArray PhoneHttp::answer(const QString& id, const QString& target, const Site& site) {
    const std::optional<QList<Pick>> chosen = picks(values(QStringLiteral("answer"), target));
    if (!chosen || chosen->isEmpty())
        return plain("400 Bad Request", "give each answer as answer=QUESTION:OPTION");
    if (!site.answer)
        return plain("404 Not Found", "that request is no longer waiting");
    if (const std::optional<Refusal> refusal = site.answer(id, *chosen))
        return response(refusal->status, "text/plain; charset=utf-8", refusal->reason.toUtf8());
    return plain("200 OK", "ok");
}

bool PhoneHttp::names(const QString& key, const QString& target) {
    const qsizetype query = target.indexOf(QLatin1Char('?'));
    if (query < 0)
        return false;
    const QStringList pairs = target.mid(query + 1).split(QLatin1Char('&'));
    return std::any_of(pairs.begin(), pairs.end(),
                       [&](const QString& pair) { return pair == key || pair.startsWith(key + QLatin1Char('=')); });
}

QByteArray PhoneHttp::response(const char* status, const char* contentType, const QByteArray& body) {
    QByteArray out;
    out.reserve(128 + body.size());
    out += "HTTP/1.1 ";
    out += status;
    out += "\r\nContent-Type: ";
    out += contentType;
    out += "\r\nContent-Length: ";
    out += QByteArray::number(body.size());
    out += "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    out += body;
    return out;
}
