#include "support/JsonFile.h"

#include "JSONValue.h"
#include "support/Log.h"

#include <QFileInfo>

JsonFile::JsonFile(QString path, const Clock& clock, FileIO::Access access)
    : m_path(std::move(path)), m_clock(clock), m_access(access) {}

JsonFile::Loaded JsonFile::load(const std::function<bool(const nlohmann::json&)>& use) {
    const FileIO::ReadResult file = FileIO::read(m_path);
    if (file.status == FileIO::ReadStatus::missing)
        return Loaded::missing;
    if (file.status == FileIO::ReadStatus::unreadable) {
        setAside(file.error);
        return Loaded::setAside;
    }
    const std::string_view text(file.data.constData(), static_cast<size_t>(file.data.size()));
    if (JSONValue::nestsTooDeep(text)) {
        setAside(QStringLiteral("nested too deep"));
        return Loaded::setAside;
    }
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        setAside(QStringLiteral("not valid JSON"));
        return Loaded::setAside;
    }
    if (!use(document)) {
        setAside(QStringLiteral("not what we keep there"));
        return Loaded::setAside;
    }
    return Loaded::used;
}

bool JsonFile::save(const nlohmann::json& document, int indent, QString* error) {
    if (m_inTheWay) {
        const bool moved = !FileIO::moveAside(m_path, m_clock.now()).isEmpty();
        const QFileInfo info(m_path);
        if (!moved && (info.exists() || info.isSymLink())) {
            if (error != nullptr)
                *error = m_path + QStringLiteral(" holds something we could not read and could not move aside");
            return false;
        }
        m_inTheWay = false;
    }
    std::string text = document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
    if (indent >= 0)
        text += '\n';
    QString reason;
    if (!FileIO::writeAtomically(m_path, QByteArray::fromStdString(text), &reason, m_access)) {
        if (error != nullptr)
            *error = reason;
        return false;
    }
    return true;
}

void JsonFile::setAside(const QString& why) {
    const QString moved = FileIO::moveAside(m_path, m_clock.now());
    m_inTheWay = moved.isEmpty();
    Log::line(moved.isEmpty()
                  ? QStringLiteral("Vorlix Agents: %1 is unusable (%2) and could not be moved aside; it is kept")
                        .arg(m_path, why)
                  : QStringLiteral("Vorlix Agents: %1 is unusable (%2); moved to %3").arg(m_path, why, moved));
}
