#pragma once

#include "support/Clock.h"
#include "support/FileIO.h"

#include <QString>
#include <functional>
#include <nlohmann/json.hpp>

/// One of our own JSON files (rules, game, preferences). Only a missing file means "start empty": one that
/// exists but cannot be read, parsed or used is moved aside as "<file>.corrupt-<UTC stamp>" and logged once,
/// so no later save overwrites it. Saves are whole and atomic, and keep the file's mode. Main thread only.
class JsonFile final {
public:
    enum class Loaded { missing, used, setAside };

    /// The clock names the corrupt copies; it must outlive the file.
    JsonFile(QString path, const Clock& clock, FileIO::Access access = FileIO::Access::owner);

    /// Reads the file and hands the document to `use`, which tells whether it could use it.
    Loaded load(const std::function<bool(const nlohmann::json&)>& use);
    /// Writes the document (compact, or indented by `indent` with a final newline). Refuses, with the reason,
    /// while a file we could not use is still in the way.
    bool save(const nlohmann::json& document, int indent = -1, QString* error = nullptr);

    const QString& path() const { return m_path; }

private:
    void setAside(const QString& why);

    QString m_path;
    const Clock& m_clock;
    FileIO::Access m_access;
    // An unusable file that could not be moved aside yet.
    bool m_inTheWay = false;
};
