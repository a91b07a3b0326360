#pragma once

#include "Canonical.h"
#include "JSONValue.h"
#include "Source.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace Vorlix {

/// Whether the bridge must wait for a decision for this event.
bool isGating(Source source, Canonical event, const std::optional<std::string>& toolName);

/// Picks a value out of a hook payload: the first of the keys present in the object decides.
std::optional<JSONValue> field(const JSONValue& value, std::initializer_list<std::string_view> keys);

} // namespace Vorlix
