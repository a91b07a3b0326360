#pragma once

#include <string>

/// A fresh temporary HOME for one test: set on construction, removed and restored on destruction.
/// XDG variables are cleared so every XDG location derives from the temporary HOME too.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_oldHome;
    bool m_hadHome = false;
};
