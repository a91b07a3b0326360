#pragma once

#include "Event.h"
#include "hookserver/GateBox.h"
#include "sessions/SessionStore.h"

#include <memory>
#include <string>

/// Gating events as the bridge sends them, opened straight on a store.
inline Vorlix::Event panelEvent(const std::string& session, Vorlix::Canonical kind, const std::string& tool,
                                const std::string& inputJson, const std::string& cwd = "/home/dev/work") {
    static int next = 0;
    Vorlix::Event event;
    event.id = "gate-" + std::to_string(++next);
    event.source = session.starts_with("codex") ? Vorlix::Source::codex : Vorlix::Source::claude;
    event.event = kind;
    event.rawEvent = "PermissionRequest";
    event.gating = kind == Vorlix::Canonical::permissionRequest;
    event.sessionID = session;
    event.cwd = cwd;
    if (!tool.empty()) {
        event.toolName = tool;
        event.toolInput = JSONValue::parse(inputJson);
    }
    return event;
}

inline std::shared_ptr<GateBox> openPanelGate(SessionStore& store, const std::string& session, const std::string& tool,
                                              const std::string& inputJson, const std::string& cwd = "/home/dev/work") {
    auto box = std::make_shared<GateBox>();
    store.openGate(panelEvent(session, Vorlix::Canonical::permissionRequest, tool, inputJson, cwd), box);
    return box;
}
