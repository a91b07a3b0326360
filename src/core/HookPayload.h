#pragma once

#include "Event.h"
#include "JSONValue.h"
#include "Source.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vorlix {

/// Turns an agent's command line, environment and hook payload into one event. Pure: the
/// environment, id, terminal and clock come in as arguments so it can be tested and fuzzed.
class HookPayload {
public:
    using Environment = std::function<std::optional<std::string>(const char*)>;

    /// "--source NAME" (first occurrence, exact raw value) else claude; either Grok variable forces grok.
    static Source source(const std::vector<std::string_view>& arguments, const Environment& env);
    static Event event(const JSONValue& payload, Source source, const Environment& env, std::string id,
                       TerminalContext terminal, double ts);
};

} // namespace Vorlix
