#pragma once

#include <QString>
#include <functional>
#include <string_view>

/// Reads a file line by line in fixed chunks, however large it is: memory holds one chunk and the line being
/// read. Only a regular file is read, and it is opened without blocking, so a FIFO or a device in its place
/// can neither hang the caller nor be read.
class LineReader final {
public:
    enum class Status { ok, missing, notRegular, failed };

    static constexpr std::size_t chunkBytes = std::size_t(1) << 20;

    /// Calls `each` with every non-empty line, without its line feed (a last line without one counts too).
    /// `failed` puts the reason in *error when given.
    static Status forEachLine(const QString& path, const std::function<void(std::string_view)>& each,
                              QString* error = nullptr);
};
