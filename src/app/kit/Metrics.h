#pragma once

/// The spacing every panel and window shares, by role, so a margin is changed in one place.
namespace Metrics {
/// Between the lines of a stacked label pair.
inline constexpr int lineGap = 3;
/// Around the notch in the collapsed row.
inline constexpr int notchGap = 6;
/// Between a dot or chip and its caption; the vertical padding of a banner.
inline constexpr int tightGap = 7;
/// Between siblings in a row or column.
inline constexpr int gap = 8;
/// Between an island's sections.
inline constexpr int sectionGap = 10;
/// Inside a card or banner.
inline constexpr int cardPadding = 11;
/// Between a creature and its words, between buttons, before the collapsed activity.
inline constexpr int wideGap = 12;
/// The open island's side and bottom padding.
inline constexpr int islandPadding = 18;
} // namespace Metrics
