#pragma once

#include "JSONValue.h"

#include <QString>
#include <optional>

/// The text a card shows for a tool call: what the agent asks for, in words a person reads.
class GateDetail final {
public:
    /// A question to the user (AskUserQuestion) gives its questions with their options, a plan to approve
    /// (ExitPlanMode) its plan text; any other call the preview of its input, or the empty text without one.
    /// Bidi controls and line separators are shown as their codes (VisibleText), so the text cannot lie.
    static QString text(const QString& tool, const std::optional<JSONValue>& input);

private:
    static QString shown(const QString& tool, const std::optional<JSONValue>& input);
    static QString questions(const JSONValue& list);
};
