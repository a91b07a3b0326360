// Feeds arbitrary bytes to every decoder the socket and the bridge expose to other processes.
#include "AgentAnswer.h"
#include "Decision.h"
#include "Event.h"
#include "HookPayload.h"
#include "JSONValue.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
std::optional<std::string> noEnvironment(const char*) {
    return std::nullopt;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // As an event line from the socket: a decoded event must survive its own round trip.
    if (auto event = Vorlix::Event::fromLine(text)) {
        auto again = Vorlix::Event::fromLine(event->toLine());
        if (!again || again->toLine() != event->toLine())
            std::abort();
    }

    // As a reply line: whatever decodes must produce an answer for every agent.
    if (auto decision = Vorlix::Decision::fromLine(text)) {
        for (auto source : Vorlix::allSources)
            (void)Vorlix::AgentAnswer::forDecision(source, Vorlix::Canonical::permissionRequest, *decision);
    }

    // As a hook payload: the event the bridge builds must encode and decode again.
    if (auto payload = JSONValue::parse(text)) {
        (void)payload->preview();
        const auto event = Vorlix::HookPayload::event(*payload, Vorlix::Source::codex, noEnvironment, "ID",
                                                      Vorlix::TerminalContext{}, 1.0);
        const std::string line = event.toLine();
        if (line.find('\n') != std::string::npos)
            std::abort();
        if (!Vorlix::Event::fromLine(line))
            std::abort();
    }
    return 0;
}
