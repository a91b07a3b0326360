#pragma once

#include <optional>
#include <string>

namespace Vorlix {

/// A random (version 4) UUID in its canonical 36-character upper-case form, from the kernel's random source.
/// Absent when the kernel gives no randomness.
std::optional<std::string> randomUuid();

} // namespace Vorlix
