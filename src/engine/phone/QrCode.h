#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

/// A QR code symbol (error correction level M, byte mode) as a matrix of modules; painting it is the desktop's job.
class QrCode final {
public:
    /// The smallest symbol that holds the bytes, or nothing when they do not fit any.
    static std::optional<QrCode> encode(const QByteArray& data);

    int version() const { return m_version; }
    /// Modules per side, without the quiet zone.
    int width() const { return m_width; }
    bool isDark(int x, int y) const { return m_modules[static_cast<std::size_t>(y * m_width + x)]; }

    /// Light modules every side of the symbol, as readers expect.
    static constexpr int quietZone = 4;

private:
    QrCode(int version, int width, std::vector<bool> modules)
        : m_version(version), m_width(width), m_modules(std::move(modules)) {}

    int m_version;
    int m_width;
    std::vector<bool> m_modules;
};
