#pragma once

#include <string_view>
#include <vector>

/// One hook invocation from start to end. Fails open: every failure is exit status 0 with no output.
class Bridge {
public:
    /// Returns the process exit status.
    static int run(const std::vector<std::string_view>& arguments);
};
