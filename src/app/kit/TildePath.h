#pragma once

#include <QString>

/// How a folder is shown: the home folder as "~", but only where it stands as whole path components, so
/// "/home/devtools" stays as it is for the home "/home/dev".
class TildePath final {
public:
    static QString shorten(const QString& path, const QString& home);
};
