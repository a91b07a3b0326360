#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

/// A fresh temporary HOME for one test, every XDG location derived from it and XDG_RUNTIME_DIR a private folder
/// beside it; all removed, and the variables restored, on destruction.
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
