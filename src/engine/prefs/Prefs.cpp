#include "prefs/Prefs.h"

#include "JsonFields.h"
#include "support/Log.h"

#include <QStandardPaths>
#include <algorithm>
#include <cstdint>
#include <tuple>

namespace {

// The file's object, or an empty one: a file that is not a JSON object has been moved aside.
nlohmann::json readObject(JsonFile& file) {
    nlohmann::json object = nlohmann::json::object();
    file.load([&object](const nlohmann::json& json) {
        if (json.is_object())
            object = json;
        return json.is_object();
    });
    return object;
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
    : QObject(parent), m_file(std::move(path), Clock::system()), m_loginItem(std::move(autostartFolder)) {
    const nlohmann::json object = readObject(m_file);
    if (const auto it = object.find("soundEnabled"); it != object.end() && it->is_boolean())
        m_soundEnabled = it->get<bool>();
    if (const auto it = object.find("launchAtLogin"); it != object.end() && it->is_boolean())
        m_launchAtLogin = it->get<bool>();
    if (const auto it = object.find("notifyWhenFinished"); it != object.end() && it->is_boolean())
        m_notifyWhenFinished = it->get<bool>();
    if (const auto it = object.find("notifyWhenWaiting"); it != object.end() && it->is_boolean())
        m_notifyWhenWaiting = it->get<bool>();
    // A whole number outside -1…1 (a typo in a hand edit) reads as the nearest level, never as one that lets
    // elevated or critical calls through; the stored value stays as it is until the person picks a level.
    if (const auto it = object.find("autoApproveLevel"); it != object.end() && it->is_number_integer()) {
        const std::int64_t stored =
            it->is_number_unsigned() && it->get<std::uint64_t>() > INT64_MAX ? INT64_MAX : it->get<std::int64_t>();
        m_autoApproveLevel = clampLevel(stored);
        if (stored != m_autoApproveLevel)
            Log::line(QStringLiteral("Vorlix Agents: %1: autoApproveLevel %2 is outside -1 to 1; using %3")
                          .arg(m_file.path(), QString::fromStdString(it->dump()), QString::number(m_autoApproveLevel)));
    }
}

int Prefs::clampLevel(std::int64_t level) {
    return static_cast<int>(std::clamp<std::int64_t>(level, -1, 1));
}

void Prefs::save(const char* key, const nlohmann::json& value) {
    // Re-read first: only this key changes, whatever else was edited meanwhile.
    nlohmann::json object = readObject(m_file);
    object[key] = value;
    QString error;
    if (!m_file.save(object, 2, &error))
        Log::line(QStringLiteral("preferences not saved: ") + error);
}

QString Prefs::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/preferences.json");
}

void Prefs::setSwitch(bool Prefs::*field, void (Prefs::*changed)(bool), const char* key, bool on) {
    if (this->*field != on) {
        this->*field = on;
        emit(this->*changed)(on);
    }
    save(key, on);
}

void Prefs::setSoundEnabled(bool on) {
    setSwitch(&Prefs::m_soundEnabled, &Prefs::soundEnabledChanged, "soundEnabled", on);
}

void Prefs::setNotifyWhenFinished(bool on) {
    setSwitch(&Prefs::m_notifyWhenFinished, &Prefs::notifyWhenFinishedChanged, "notifyWhenFinished", on);
}

void Prefs::setNotifyWhenWaiting(bool on) {
    setSwitch(&Prefs::m_notifyWhenWaiting, &Prefs::notifyWhenWaitingChanged, "notifyWhenWaiting", on);
}

void Prefs::setLaunchAtLogin(bool on) {
    if (m_launchAtLogin != on) {
        m_launchAtLogin = on;
        emit launchAtLoginChanged(on);
    }
    save("launchAtLogin", on);
    QString error;
    if (!m_loginItem.setRegistered(on, &error))
        Log::line(QStringLiteral("launch-at-login toggle failed: ") + error);
}

void Prefs::setAutoApproveLevel(int value) {
    const int level = clampLevel(value);
    if (m_autoApproveLevel != level) {
        m_autoApproveLevel = level;
        emit autoApproveLevelChanged(level);
    }
    save("autoApproveLevel", level);
}

QString Prefs::adopt(const Prefs& read) {
    QStringList changes;
    const auto words = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    if (read.m_soundEnabled != m_soundEnabled) {
        changes << QStringLiteral("soundEnabled %1 -> %2").arg(words(m_soundEnabled), words(read.m_soundEnabled));
        m_soundEnabled = read.m_soundEnabled;
        emit soundEnabledChanged(m_soundEnabled);
    }
    if (read.m_launchAtLogin != m_launchAtLogin) {
        changes << QStringLiteral("launchAtLogin %1 -> %2").arg(words(m_launchAtLogin), words(read.m_launchAtLogin));
        m_launchAtLogin = read.m_launchAtLogin;
        emit launchAtLoginChanged(m_launchAtLogin);
        QString error;
        if (!m_loginItem.setRegistered(m_launchAtLogin, &error))
            Log::line(QStringLiteral("launch-at-login toggle failed: ") + error);
    }
    for (auto [field, changed, key] :
         {std::tuple{&Prefs::m_notifyWhenFinished, &Prefs::notifyWhenFinishedChanged, "notifyWhenFinished"},
          std::tuple{&Prefs::m_notifyWhenWaiting, &Prefs::notifyWhenWaitingChanged, "notifyWhenWaiting"}}) {
        if (read.*field == this->*field)
            continue;
        changes << QStringLiteral("%1 %2 -> %3").arg(QLatin1String(key), words(this->*field), words(read.*field));
        this->*field = read.*field;
        emit(this->*changed)(this->*field);
    }
    if (read.m_autoApproveLevel != m_autoApproveLevel) {
        changes << QStringLiteral("autoApproveLevel %1 -> %2").arg(m_autoApproveLevel).arg(read.m_autoApproveLevel);
        m_autoApproveLevel = read.m_autoApproveLevel;
        emit autoApproveLevelChanged(m_autoApproveLevel);
    }
    return changes.join(QStringLiteral(", "));
}
