#include "sessions/ContextMeter.h"

#include "JSONValue.h"
#include "JsonFields.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequence at the end.
bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= extra; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF)
                return false;
        }
        p += extra + 1;
    }
    return true;
}

qint64 count(const nlohmann::json& object, const char* key) {
    return Vorlix::JsonFields::int64(object, key).value_or(0);
}

const nlohmann::json* objectAt(const nlohmann::json& object, const char* key) {
    const auto* member = Vorlix::JsonFields::member(object, key);
    return member != nullptr && member->is_object() ? member : nullptr;
}

// Claude writes "message.usage" on assistant lines: the prompt is the fresh input plus both cache counts.
std::optional<ContextUsage> claudeUsage(const nlohmann::json& line, qint64 window) {
    const auto* message = objectAt(line, "message");
    const auto* usage = message != nullptr ? objectAt(*message, "usage") : nullptr;
    if (usage == nullptr)
        return std::nullopt;
    qint64 total = 0;
    for (const char* key : {"input_tokens", "cache_read_input_tokens", "cache_creation_input_tokens"}) {
        if (__builtin_add_overflow(total, count(*usage, key), &total))
            return std::nullopt;
    }
    return ContextUsage{total, window};
}

// Codex writes "token_count" events: the latest call's prompt size, against the model's own window.
std::optional<ContextUsage> codexUsage(const nlohmann::json& line, qint64 window) {
    if (Vorlix::JsonFields::requiredString(line, "type") != "event_msg")
        return std::nullopt;
    const auto* payload = objectAt(line, "payload");
    if (payload == nullptr || Vorlix::JsonFields::requiredString(*payload, "type") != "token_count")
        return std::nullopt;
    const auto* info = objectAt(*payload, "info");
    const auto* last = info != nullptr ? objectAt(*info, "last_token_usage") : nullptr;
    if (last == nullptr)
        return std::nullopt;
    const qint64 own = count(*info, "model_context_window");
    return ContextUsage{count(*last, "input_tokens"), own > 0 ? own : window};
}

std::optional<ContextUsage> usageOf(std::string_view line, qint64 window) {
    if (JSONValue::nestsTooDeep(line))
        return std::nullopt;
    const auto json = nlohmann::json::parse(line, nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    if (auto usage = claudeUsage(json, window))
        return usage;
    return codexUsage(json, window);
}

// Reads at most `size` bytes from `offset`; nothing on a read error.
std::optional<QByteArray> readAt(int fd, qint64 offset, qint64 size) {
    QByteArray data(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data.data() + done, static_cast<size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        done += n;
    }
    data.truncate(done);
    return data;
}

} // namespace

std::optional<ContextUsage> ContextMeter::latestUsage(QByteArray tail, bool cut, qint64 window) {
    qsizetype skip = 0;
    while (cut && skip < 3 && skip < tail.size() && (static_cast<unsigned char>(tail[skip]) & 0xC0) == 0x80)
        ++skip;
    const std::string_view text(tail.constData() + skip, static_cast<size_t>(tail.size() - skip));
    if (!isValidUtf8(text))
        return std::nullopt;
    size_t end = text.size();
    while (end > 0) {
        const size_t newline = text.rfind('\n', end - 1);
        const size_t start = newline == std::string_view::npos ? 0 : newline + 1;
        if (end > start) {
            if (const auto usage = usageOf(text.substr(start, end - start), window); usage && usage->used >= 1)
                return usage;
        }
        if (newline == std::string_view::npos)
            break;
        end = newline;
    }
    return std::nullopt;
}

std::optional<ContextUsage> ContextMeter::read(const QString& transcript, qint64 window) {
    // The path comes from an agent's payload: never block on a FIFO, never stream a device without end.
    const int fd = ::open(QFile::encodeName(transcript).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> tail;
    qint64 offset = 0;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        offset = std::max<qint64>(0, info.st_size - tailBytes);
        tail = readAt(fd, offset, std::min<qint64>(info.st_size, tailBytes));
    }
    ::close(fd);
    if (!tail || tail->isEmpty())
        return std::nullopt;
    return latestUsage(std::move(*tail), offset > 0, window);
}
