#include "model/turn_rule.h"

#include <cmath>

namespace tessera {

namespace {

const char* const kSideNames[] = {"+x", "-x", "+y", "-y", "+z", "-z"};

Point sideDirection(int side) {
  const double sign = side % 2 == 0 ? 1.0 : -1.0;
  switch (side / 2) {
    case 0:
      return {sign, 0.0, 0.0};
    case 1:
      return {0.0, sign, 0.0};
    default:
      return {0.0, 0.0, sign};
  }
}

// A direction turned by an orientation (a rotation about the origin: no translation to add).
Point turned(const Orientation& o, const Point& d) {
  return {d.x * o.m[0][0] + d.y * o.m[1][0] + d.z * o.m[2][0],
          d.x * o.m[0][1] + d.y * o.m[1][1] + d.z * o.m[2][1],
          d.x * o.m[0][2] + d.y * o.m[1][2] + d.z * o.m[2][2]};
}

constexpr double kAlong = 1e-9;

bool near(const Point& a, const Point& b) {
  return std::fabs(a.x - b.x) <= kAlong && std::fabs(a.y - b.y) <= kAlong &&
         std::fabs(a.z - b.z) <= kAlong;
}

}  // namespace

std::optional<TurnRule> parseTurnRule(const std::string& text) {
  using Kind = TurnRule::Kind;
  if (text == "all") return TurnRule{Kind::all, 0};
  if (text == "upright") return TurnRule{Kind::upright, 0};
  if (text == "none") return TurnRule{Kind::none, 0};
  for (const Kind kind : {Kind::down, Kind::up}) {
    const std::string prefix = kind == Kind::down ? "down=" : "up=";
    if (text.compare(0, prefix.size(), prefix) != 0) continue;
    for (int side = 0; side < 6; ++side)
      if (text.substr(prefix.size()) == kSideNames[side]) return TurnRule{kind, side};
  }
  return std::nullopt;
}

std::string turnRuleText(const TurnRule& rule) {
  switch (rule.kind) {
    case TurnRule::Kind::all:
      return "all";
    case TurnRule::Kind::upright:
      return "upright";
    case TurnRule::Kind::none:
      return "none";
    case TurnRule::Kind::down:
      return std::string("down=") + kSideNames[rule.side];
    case TurnRule::Kind::up:
      return std::string("up=") + kSideNames[rule.side];
  }
  return "all";
}

bool allowsTurn(const TurnRule& rule, const Orientation& orientation) {
  const Point up{0.0, 0.0, 1.0}, down{0.0, 0.0, -1.0};
  switch (rule.kind) {
    case TurnRule::Kind::all:
      return true;
    case TurnRule::Kind::upright:
      return near(turned(orientation, up), up);
    case TurnRule::Kind::down:
      return near(turned(orientation, sideDirection(rule.side)), down);
    case TurnRule::Kind::up:
      return near(turned(orientation, sideDirection(rule.side)), up);
    case TurnRule::Kind::none:
      return near(turned(orientation, {1.0, 0.0, 0.0}), {1.0, 0.0, 0.0}) &&
             near(turned(orientation, {0.0, 1.0, 0.0}), {0.0, 1.0, 0.0});
  }
  return false;
}

bool ruleLeavesATurn(const TurnRule& rule, int RN) {
  if (orientationCountFor(RN) > kMostRuleChecked) return true;
  return !visitOrientations(RN, [&](const Orientation& o) { return !allowsTurn(rule, o); });
}

std::vector<char> allowedTurns(const TurnRule& rule, const std::vector<Orientation>& table) {
  std::vector<char> allowed;
  allowed.reserve(table.size());
  for (const Orientation& o : table) allowed.push_back(allowsTurn(rule, o) ? 1 : 0);
  return allowed;
}

}  // namespace tessera
