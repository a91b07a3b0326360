#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

/// A fresh temporary HOME for one test: set on construction, removed and restored on destruction.
/// XDG variables are cleared so every XDG location derives from the temporary HOME too, and XDG_RUNTIME_DIR is a
/// private temporary folder beside it; all are restored on destruction.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_runtime;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};
