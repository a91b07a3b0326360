#pragma once

#include "Source.h"
#include "installer/JsonShape.h"

#include <optional>
#include <string>
#include <string_view>

/// The pure half of the installer: the hook groups we write into an agent's configuration, and how they are
/// found in, merged into and stripped from its "hooks" object. No files are touched here.
class HookConfig final {
public:
    using json = JsonShape::json;

    /// What a hooks object holds: our bridge, and the last other notch tool seen.
    struct Scan {
        bool ours = false;
        std::optional<std::string> foreign;
        bool operator==(const Scan&) const = default;
    };

    /// Gating hooks may wait a day for a human; every other event gets a few seconds.
    static constexpr int gateTimeout = 86400;
    static constexpr int eventTimeout = 5;
    /// Codex clamps a longer SessionEnd hook to this and warns about it at every start.
    static constexpr int codexSessionEndTimeout = 3;
    /// Every command of ours mentions this; nobody else's is expected to.
    static constexpr std::string_view ourNeedle = "vorlix";

    /// "<home>/.vorlix-agents/bin/vorlix-bridge"
    static std::string bridgePath(std::string_view home);
    /// The bridge path in single quotes, then " --source " and the agent's raw name. A single quote inside the
    /// path is written as '\'' so the shell still reads one word.
    static std::string command(std::string_view home, Vorlix::Source source);
    static json hookEntry(std::string_view home, Vorlix::Source source, int timeout);
    /// One group holding one entry; "matcher" only when one is given (an empty one included).
    static json group(std::string_view home, Vorlix::Source source, int timeout,
                      std::optional<std::string_view> matcher);
    static json claudeHooks(std::string_view home);
    static json codexHooks(std::string_view home);
    static json grokHooks(std::string_view home);

    static Scan scan(const json& hooks);
    /// The root with our earlier groups replaced by `add`, event by event; foreign groups keep their place, and
    /// an event that is not an array counts as empty. Absent when the root's "hooks" is not an object: writing
    /// anyway would throw the user's value away.
    static std::optional<json> merge(json root, const json& add);
    /// The root without hook entries whose command contains the needle; emptied groups and events go, and
    /// "hooks" itself when nothing is left. Absent when "hooks" is present but not an object.
    static std::optional<json> strip(json root, std::string_view needle);
    /// Removes a "statusLine" object whose command contains the needle; tells whether it did.
    static bool stripStatusLine(json& root, std::string_view needle);
};
