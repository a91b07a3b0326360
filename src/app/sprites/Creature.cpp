#include "sprites/Creature.h"

#include <string_view>

namespace {

using Rows4 = std::array<std::u16string_view, 4>;
using Rows10 = std::array<std::u16string_view, 10>;

constexpr std::u16string_view blank = u"................";

// Rows 4-12 of each body; row 13 is where the two frames differ (the feet step outward).
struct BodyRows {
    Rows10 frameA;
    std::u16string_view row13B;
};

constexpr BodyRows claudeBody{{u"..############..", u"..##..####..##..", u"..##..####..##..", u"..############..",
                               u"..############..", u"..############..", u"..###......###..", u"..##........##..",
                               u"..##........##..", u"..##........##.."},
                              u".##..........##."};
constexpr BodyRows codexBody{{u"...##########...", u"...##.####.##...", u"...##.####.##...", u"...##########...",
                              u"..############..", u"..#..######..#..", u"..############..", u"..###......###..",
                              u"...##......##...", u"...##......##..."},
                             u"..##........##.."};
constexpr BodyRows grokBody{{u"..############..", u".###..####..###.", u".###..####..###.", u"..############..",
                             u".##############.", u"..############..", u"..############..", u"..##..####..##..",
                             u"..##..####..##..", u"..##..####..##.."},
                            u".##...####...##."};
constexpr BodyRows kiroBody{{u".##############.", u".##..######..##.", u".##..######..##.", u".##..######..##.",
                             u".##############.", u".##############.", u".####......####.", u".###........###.",
                             u".###........###.", u".###........###."},
                            u"###..........###"};

constexpr Rows4 flatCrown{blank, blank, blank, u".##############."};
constexpr Rows4 hornsA{blank, u"...##......##...", u"...##......##...", u"...##......##..."};
constexpr Rows4 hornsB{blank, u"..##........##..", u"..##........##..", u"...##......##..."};
constexpr Rows4 visor{blank, blank, u"..############..", u".##############."};
constexpr Rows4 stylusA{u"...........##...", u"..........##....", u".........##.....", u"...##########..."};
constexpr Rows4 stylusB{blank, u"..........##....", u".........##.....", u"...##########..."};
constexpr Rows4 nubs{blank, blank, u"....##....##....", u"...##########..."};
constexpr Rows4 flagA{u"....####........", u"....####........", u"....##..........", u"...##########..."};
constexpr Rows4 flagB{blank, u"...#####........", u"....##..........", u"..##########...."};
constexpr Rows4 antennaA{blank, u"..........####..", u"..........##....", u"...##########..."};
constexpr Rows4 antennaB{u"..............##", u"...........###..", u"..........##....", u"...##########..."};
constexpr Rows4 arch{blank, blank, u"....########....", u"...##......##..."};
constexpr Rows4 armsA{blank, u".#............#.", u"..#..##..##..#..", u"...##########..."};
constexpr Rows4 armsB{u"#..............#", u".#............#.", u"..#..##..##..#..", u"...##########..."};
constexpr Rows4 crackedA{blank, u"..+.........+...", u"....#......#....", u"...##.####.##..."};
constexpr Rows4 crackedB{blank, u"...\u00b7.......\u00b7....", u"...#........#...", u"..##..####..##.."};

Creature::Bitmap bodyFrame(const BodyRows& rows, bool frameB) {
    Creature::Bitmap bitmap;
    bitmap.fill(std::u16string(blank));
    for (std::size_t r = 0; r < rows.frameA.size(); ++r)
        bitmap[4 + r] = std::u16string(rows.frameA[r]);
    if (frameB)
        bitmap[13] = std::u16string(rows.row13B);
    return bitmap;
}

// A crown is its four rows followed by twelve blank ones.
Creature::Bitmap crownFrame(const Rows4& rows) {
    Creature::Bitmap bitmap;
    bitmap.fill(std::u16string(blank));
    for (std::size_t r = 0; r < rows.size(); ++r)
        bitmap[r] = std::u16string(rows[r]);
    return bitmap;
}

const BodyRows& bodyRows(Vorlix::Source agent) {
    switch (agent) {
    case Vorlix::Source::claude:
        return claudeBody;
    case Vorlix::Source::codex:
        return codexBody;
    case Vorlix::Source::grok:
        return grokBody;
    case Vorlix::Source::kiro:
        return kiroBody;
    }
    return claudeBody;
}

std::pair<const Rows4&, const Rows4&> crownRows(SpriteKind kind) {
    switch (kind) {
    case SpriteKind::idle:
        return {flatCrown, flatCrown};
    case SpriteKind::thinking:
        return {hornsA, hornsB};
    case SpriteKind::reading:
        return {visor, visor};
    case SpriteKind::writing:
        return {stylusA, stylusB};
    case SpriteKind::shell:
        return {nubs, nubs};
    case SpriteKind::needsApproval:
        return {flagA, flagB};
    case SpriteKind::question:
        return {antennaA, antennaB};
    case SpriteKind::planReview:
        return {arch, arch};
    case SpriteKind::done:
        return {armsA, armsB};
    case SpriteKind::error:
        return {crackedA, crackedB};
    }
    return {flatCrown, flatCrown};
}

} // namespace

Creature::Frames Creature::body(Vorlix::Source agent) {
    const BodyRows& rows = bodyRows(agent);
    return {bodyFrame(rows, false), bodyFrame(rows, true)};
}

Creature::Frames Creature::crown(SpriteKind kind) {
    const auto [a, b] = crownRows(kind);
    return {crownFrame(a), crownFrame(b)};
}

Creature::Frames Creature::frames(Vorlix::Source agent, SpriteKind kind) {
    const Frames bodies = body(agent);
    const Frames crowns = crown(kind);
    Frames result;
    for (std::size_t i = 0; i < result.size(); ++i) {
        for (std::size_t r = 0; r < result[i].size(); ++r) {
            std::u16string row = bodies[i][r];
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (row[c] == u'.' && c < crowns[i][r].size())
                    row[c] = crowns[i][r][c];
            }
            result[i][r] = std::move(row);
        }
    }
    return result;
}
