#include "prefs/Prefs.h"

#include "JSONValue.h"
#include "support/Clock.h"
#include "support/FileIO.h"
#include "support/Log.h"

#include <QStandardPaths>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::ordered_json;

// The file's object, or nothing when the file exists but is not a readable JSON object.
std::optional<Json> readObject(const QString& path, FileIO::ReadStatus* status = nullptr) {
    const auto file = FileIO::read(path);
    if (status != nullptr)
        *status = file.status;
    if (file.status == FileIO::ReadStatus::missing)
        return Json::object();
    if (file.status != FileIO::ReadStatus::ok)
        return std::nullopt;
    const std::string_view text(file.data.constData(), static_cast<size_t>(file.data.size()));
    if (JSONValue::nestsTooDeep(text))
        return std::nullopt;
    Json json = Json::parse(text, nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    return json;
}

// Rewrites one key and leaves every other member as it was. A file that cannot be read as an object is kept
// aside first, never overwritten.
bool writeKey(const QString& path, const char* key, Json value, QString* error) {
    FileIO::ReadStatus status{};
    auto object = readObject(path, &status);
    if (!object) {
        if (FileIO::moveAside(path, Clock::system().now()).isEmpty()) {
            *error = QStringLiteral("cannot move the unreadable file aside: ") + path;
            return false;
        }
        object = Json::object();
    }
    (*object)[key] = std::move(value);
    const std::string text = object->dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
    return FileIO::writeAtomically(path, QByteArray(text.data(), static_cast<qsizetype>(text.size())), error);
}

void save(const QString& path, const char* key, Json value) {
    QString error;
    if (!writeKey(path, key, std::move(value), &error))
        Log::line(QStringLiteral("preferences not saved: ") + error);
}

} // namespace

const std::array<Prefs::Level, 3>& Prefs::levels() {
    static const std::array<Level, 3> table{{
        {-1, "Ask about everything", "Every tool call stops you \u2014 safest, but noisy with chatty agents."},
        {0, "Auto-approve read-only", "Reads and lookups flow; anything that writes or runs still asks."},
        {1, "Trusted (gate only risky)",
         "Reads and in-project edits flow; only network, installs, out-of-project writes, and destructive commands "
         "stop you."},
    }};
    return table;
}

QString Prefs::levelDescription(int value) {
    for (const Level& level : levels()) {
        if (level.value == value)
            return QString::fromUtf8(level.description);
    }
    return QString::fromUtf8(levels()[1].description);
}

Prefs::Prefs(QString path, QString autostartFolder, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_loginItem(std::move(autostartFolder)) {
    const auto object = readObject(m_path);
    if (!object)
        return;
    if (const auto it = object->find("soundEnabled"); it != object->end() && it->is_boolean())
        m_soundEnabled = it->get<bool>();
    if (const auto it = object->find("launchAtLogin"); it != object->end() && it->is_boolean())
        m_launchAtLogin = it->get<bool>();
    if (const auto it = object->find("autoApproveLevel"); it != object->end() && it->is_number_integer()) {
        // Out of range reads like another type: the default, and the stored value stays as it is.
        if (it->is_number_unsigned()) {
            if (it->get<std::uint64_t>() <= static_cast<std::uint64_t>(INT_MAX))
                m_autoApproveLevel = static_cast<int>(it->get<std::uint64_t>());
        } else if (const auto v = it->get<std::int64_t>(); v >= INT_MIN && v <= INT_MAX) {
            m_autoApproveLevel = static_cast<int>(v);
        }
    }
}

QString Prefs::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/preferences.json");
}

void Prefs::setSoundEnabled(bool on) {
    if (m_soundEnabled != on) {
        m_soundEnabled = on;
        emit soundEnabledChanged(on);
    }
    save(m_path, "soundEnabled", on);
}

void Prefs::setLaunchAtLogin(bool on) {
    if (m_launchAtLogin != on) {
        m_launchAtLogin = on;
        emit launchAtLoginChanged(on);
    }
    save(m_path, "launchAtLogin", on);
    QString error;
    if (!m_loginItem.setRegistered(on, &error))
        Log::line(QStringLiteral("launch-at-login toggle failed: ") + error);
}

void Prefs::setAutoApproveLevel(int level) {
    if (m_autoApproveLevel != level) {
        m_autoApproveLevel = level;
        emit autoApproveLevelChanged(level);
    }
    save(m_path, "autoApproveLevel", level);
}
