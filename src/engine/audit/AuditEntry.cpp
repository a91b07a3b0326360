#include "audit/AuditEntry.h"

#include "JSONValue.h"

#include <QLocale>
#include <climits>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

constexpr qint64 secondsPerDay = 86400;

// Proleptic Gregorian calendar arithmetic on days since 1970-01-01; cheaper than a QDateTime per line.
struct Civil {
    qint64 year;
    int month;
    int day;
};

Civil civilFromDays(qint64 z) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<qint64>(yoe) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

qint64 daysFromCivil(qint64 year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const auto m = static_cast<unsigned>(month);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + static_cast<unsigned>(day) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

int daysInMonth(qint64 year, int month) {
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : lengths[month - 1];
}

// Reads `count` ASCII digits at `at`; -1 when any is not a digit.
int digits(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The written form, 2026-03-14T09:26:53Z, as seconds since 1970; nothing for any other text or no real moment.
std::optional<qint64> canonicalSeconds(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    return daysFromCivil(year, month, day) * secondsPerDay + hour * 3600 + minute * 60 + second;
}

// Reads one journal line straight into the members we know, without building a document: the export reads
// every line ever written. Deeper than the shared nesting limit counts as malformed, like everywhere else.
class RawReader final {
public:
    using Json = nlohmann::json;

    explicit RawReader(AuditEntry::Raw& out) : m_out(out) {}

    bool complete() const { return (m_seen & allRequired) == allRequired; }

    bool null() { return scalar(Type::null); }
    bool boolean(bool) { return scalar(Type::other); }
    bool number_integer(Json::number_integer_t value) {
        if (m_depth == 1 && m_field == Field::risk) {
            if (value < INT_MIN || value > INT_MAX)
                return false;
            m_out.risk = static_cast<int>(value);
            m_field = Field::none;
            return true;
        }
        return scalar(Type::other);
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        if (m_depth == 1 && m_field == Field::risk) {
            if (value > static_cast<Json::number_unsigned_t>(INT_MAX))
                return false;
            m_out.risk = static_cast<int>(value);
            m_field = Field::none;
            return true;
        }
        return scalar(Type::other);
    }
    bool number_float(Json::number_float_t, const Json::string_t&) { return scalar(Type::other); }
    bool binary(Json::binary_t&) { return false; }
    bool string(Json::string_t& value) {
        if (m_depth != 1 || m_field == Field::none)
            return true;
        if (m_field == Field::risk)
            return false;
        const auto field = m_field;
        m_field = Field::none;
        m_seen |= 1u << static_cast<unsigned>(field);
        target(field).swap(value);
        return true;
    }
    bool key(Json::string_t& name) {
        if (m_depth != 1)
            return true;
        m_field = fieldNamed(name);
        if (m_field == Field::risk)
            m_out.risk.reset();
        if (m_field == Field::reason)
            m_out.reason.clear();
        return true;
    }
    bool start_object(std::size_t) { return open(); }
    bool end_object() {
        --m_depth;
        return true;
    }
    bool start_array(std::size_t) { return m_depth > 0 && open(); }
    bool end_array() {
        --m_depth;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    enum class Field : unsigned { ts, agent, sessionID, project, kind, tool, detail, risk, reason, none };
    enum class Type { null, other };
    static constexpr unsigned allRequired = (1u << 7) - 1;

    static Field fieldNamed(std::string_view name) {
        static constexpr std::pair<std::string_view, Field> names[] = {
            {"ts", Field::ts},           {"agent", Field::agent}, {"sessionID", Field::sessionID},
            {"project", Field::project}, {"kind", Field::kind},   {"tool", Field::tool},
            {"detail", Field::detail},   {"risk", Field::risk},   {"reason", Field::reason}};
        for (const auto& [text, field] : names) {
            if (text == name)
                return field;
        }
        return Field::none;
    }

    std::string& target(Field field) {
        switch (field) {
        case Field::ts:
            return m_out.ts;
        case Field::agent:
            return m_out.agent;
        case Field::sessionID:
            return m_out.sessionID;
        case Field::project:
            return m_out.project;
        case Field::kind:
            return m_out.kind;
        case Field::tool:
            return m_out.tool;
        case Field::reason:
            return m_out.reason;
        default:
            return m_out.detail;
        }
    }

    // A known member holding anything but its own type fails the line; "risk" may also be null. "reason" came
    // later and is optional: any other type there only leaves it out.
    bool scalar(Type type) {
        if (m_depth != 1 || m_field == Field::none)
            return true;
        const bool ok = (m_field == Field::risk && type == Type::null) || m_field == Field::reason;
        m_field = Field::none;
        return ok;
    }

    bool open() {
        if (m_depth == 1 && m_field == Field::reason)
            m_field = Field::none;
        if (m_depth == 1 && m_field != Field::none)
            return false;
        return ++m_depth <= JSONValue::maxDepth;
    }

    AuditEntry::Raw& m_out;
    int m_depth = 0;
    Field m_field = Field::none;
    unsigned m_seen = 0;
};

QString text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

std::optional<QByteArray> AuditEntry::isoText(const QDateTime& t) {
    if (!t.isValid())
        return std::nullopt;
    const qint64 ms = t.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const qint64 days = seconds >= 0 ? seconds / secondsPerDay : -((-seconds + secondsPerDay - 1) / secondsPerDay);
    const qint64 ofDay = seconds - days * secondsPerDay;
    const Civil date = civilFromDays(days);
    if (date.year < 1 || date.year > 9999)
        return std::nullopt;
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", static_cast<int>(date.year),
                                date.month, date.day, static_cast<int>(ofDay / 3600), static_cast<int>(ofDay / 60 % 60),
                                static_cast<int>(ofDay % 60));
    return QByteArray(buffer, n);
}

bool AuditEntry::isWrittenForm(std::string_view text) {
    return canonicalSeconds(text).has_value();
}

std::optional<QDateTime> AuditEntry::fromIsoText(std::string_view text) {
    if (const auto seconds = canonicalSeconds(text))
        return QDateTime::fromSecsSinceEpoch(*seconds, Qt::UTC);
    // Other spellings (an explicit offset such as +01:00): only when the offset is given, never local time.
    if (text.size() <= 20 || text[10] != 'T')
        return std::nullopt;
    const QString spelled = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QDateTime parsed = QDateTime::fromString(spelled, Qt::ISODate);
    if (!parsed.isValid() || parsed.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    return parsed.toUTC();
}

std::optional<QByteArray> AuditEntry::toJson() const {
    const auto stamp = isoText(ts);
    if (!stamp)
        return std::nullopt;
    nlohmann::ordered_json object;
    object["ts"] = stamp->toStdString();
    object["agent"] = utf8(agent);
    object["sessionID"] = utf8(sessionID);
    object["project"] = utf8(project);
    object["kind"] = utf8(kind);
    object["tool"] = utf8(tool);
    object["detail"] = utf8(detail);
    if (risk)
        object["risk"] = *risk;
    if (!reason.isEmpty())
        object["reason"] = utf8(reason);
    const std::string text = object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

bool AuditEntry::readRaw(std::string_view line, Raw& out) {
    out.risk.reset();
    out.reason.clear();
    RawReader reader(out);
    return nlohmann::json::sax_parse(line, &reader) && reader.complete();
}

std::optional<AuditEntry> AuditEntry::fromJson(std::string_view line) {
    Raw raw;
    if (!readRaw(line, raw))
        return std::nullopt;
    auto ts = fromIsoText(raw.ts);
    if (!ts)
        return std::nullopt;
    return AuditEntry{std::move(*ts),    text(raw.agent), text(raw.sessionID),
                      text(raw.project), text(raw.kind),  text(raw.tool),
                      text(raw.detail),  raw.risk,        text(raw.reason)};
}

QString AuditEntry::identity() const {
    const double seconds = static_cast<double>(ts.toMSecsSinceEpoch()) / 1000.0;
    return QString::number(seconds, 'f', QLocale::FloatingPointShortest) + QLatin1Char('-') + tool + QLatin1Char('-') +
           sessionID;
}
