// model: how a part type may turn, as a restriction of the project's orientation table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry/orientations.h"

namespace tessera {

/// Which orientations of the table a part type takes. The sides are those of the part's box as
/// its file gives it: side 0..5 is +x, -x, +y, -y, +z, -z.
struct TurnRule {
  enum class Kind { all, upright, down, up, none };
  Kind kind = Kind::all;
  int side = 0;  // for down and up: the side kept facing down (-z) or up (+z)

  friend bool operator==(const TurnRule&, const TurnRule&) = default;
};

/// The rule a text names: "all", "upright" (turns about the vertical axis only), "none" (as
/// the file gives it), "down=S" or "up=S" with S one of +x -x +y -y +z -z. nullopt otherwise.
std::optional<TurnRule> parseTurnRule(const std::string& text);

/// The text parseTurnRule reads back to rule.
std::string turnRuleText(const TurnRule& rule);

/// What the rule texts are, for a message that refuses one.
inline constexpr const char* kTurnRuleForms =
    "all, upright, none, down=S or up=S (S one of +x -x +y -y +z -z)";

/// Whether the rule lets a part take the orientation. Orientations are turns computed in
/// floating point, so a side counts as down or up within 1e-9 of the axis.
bool allowsTurn(const TurnRule& rule, const Orientation& orientation);

/// Whether the table RN gives holds an orientation the rule allows; asked without holding the
/// table, and stopping at the first one. A table longer than kMostRuleChecked is not asked
/// (true): it is too long to go through while reading a file, and a part whose rule leaves it
/// no turn fits nowhere when the run checks its parts against the table it builds.
inline constexpr long long kMostRuleChecked = 250000;
bool ruleLeavesATurn(const TurnRule& rule, int RN);

/// By table index: 1 where the rule allows that orientation.
std::vector<char> allowedTurns(const TurnRule& rule, const std::vector<Orientation>& table);

}  // namespace tessera
