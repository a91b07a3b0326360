#pragma once

#include <QString>
#include <functional>

/// Diagnostics: one plain line each, on standard error unless a test captures them.
class Log final {
public:
    static void line(const QString& text);
    /// Replaces the sink (tests); an empty function restores standard error.
    static void setSink(std::function<void(const QString&)> sink);
};
