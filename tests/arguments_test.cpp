// The search's control options on the command line: accepted forms and the refusals.
#include "app/arguments.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "model/input_error.h"

namespace tessera {
namespace {

Arguments parse(const std::vector<std::string>& args) { return parseArguments(args, "/start"); }

std::string refusal(const std::vector<std::string>& args) {
  try {
    parse(args);
  } catch (const InputError& error) {
    const std::string message = error.what();
    return message.substr(0, message.find('\n'));
  }
  return "(accepted)";
}

TEST(ControlArguments, SeedTakesEvery32BitValueInBothSpellings) {
  EXPECT_FALSE(parse({"p.txt"}).seed.has_value());
  EXPECT_EQ(parse({"--seed", "0"}).seed, 0u);
  EXPECT_EQ(parse({"--seed=4294967295"}).seed, 4294967295u);
  for (const char* bad : {"4294967296", "-1", "+3", "1.5", "", "18446744073709551616"})
    EXPECT_EQ(refusal({"--seed", bad}),
              std::string("--seed expects an integer from 0 to 4294967295, got \"") + bad + "\"");
}

TEST(ControlArguments, TimeLimitAndStartTemperatureArePositiveFiniteNumbers) {
  EXPECT_EQ(parse({"--time-limit", "120"}).timeLimit, 120.0);
  EXPECT_EQ(parse({"--time-limit=0.5"}).timeLimit, 0.5);
  EXPECT_EQ(parse({"--start-temperature", "0.05"}).startTemperature, 0.05);
  for (const char* bad : {"0", "-3", "abc", "12s", "nan", "inf", "1e999", "1e-999", ""}) {
    EXPECT_EQ(
        refusal({"--time-limit", bad}),
        std::string("--time-limit expects a positive number of seconds, got \"") + bad + "\"");
    EXPECT_EQ(refusal({"--start-temperature", bad}),
              std::string("--start-temperature expects a positive number, got \"") + bad + "\"");
  }
  EXPECT_EQ(refusal({"--time-limit"}), "--time-limit needs a value");
}

TEST(ControlArguments, ScheduleByName) {
  EXPECT_FALSE(parse({}).schedule.has_value());
  EXPECT_EQ(parse({"--schedule", "linear"}).schedule, CoolingSchedule::Linear);
  EXPECT_EQ(parse({"--schedule=geometric"}).schedule, CoolingSchedule::Geometric);
  EXPECT_EQ(parse({"--schedule", "constant"}).schedule, CoolingSchedule::Constant);
  EXPECT_EQ(refusal({"--schedule", "Linear"}),
            "--schedule expects linear, geometric or constant, got \"Linear\"");
}

TEST(ControlArguments, PlacementRuleByName) {
  EXPECT_FALSE(parse({}).placementRule.has_value());
  EXPECT_EQ(searchOptionsOf(parse({})).placementRule, PlacementRule::lowestPoint);
  EXPECT_EQ(parse({"--placement", "lowest-top"}).placementRule, PlacementRule::lowestTop);
  EXPECT_EQ(parse({"--placement=lowest-point"}).placementRule, PlacementRule::lowestPoint);
  EXPECT_EQ(refusal({"--placement", "lowest"}),
            "--placement expects lowest-point or lowest-top, got \"lowest\"");
  EXPECT_EQ(refusal({"--placement"}), "--placement needs a value");
}

TEST(ControlArguments, SeveralChainsTakeTheirOwnDefaultsUnlessGiven) {
  // One chain is the specified search: the arguments hold only what was given, and the
  // search's settings are those of a single chain.
  for (const std::vector<std::string>& single :
       {std::vector<std::string>{}, std::vector<std::string>{"--chains", "1"}}) {
    const Arguments asGiven = parse(single);
    EXPECT_FALSE(asGiven.placementRule.has_value());
    EXPECT_FALSE(asGiven.maxSwaps.has_value());
    EXPECT_FALSE(asGiven.startTemperature.has_value());
    const SearchOptions one = searchOptionsOf(asGiven);
    EXPECT_EQ(one.chains, 1);
    EXPECT_EQ(one.placementRule, PlacementRule::lowestPoint);
    EXPECT_EQ(one.maxSwaps, 0);  // as many as the sequence is long
    EXPECT_EQ(one.startTemperature, 0.01);
    EXPECT_EQ(one.schedule, CoolingSchedule::Linear);
  }
  // The values measured best for several chains (README, "Choosing the defaults of several
  // chains").
  const SearchOptions two = searchOptionsOf(parse({"--chains", "2"}));
  EXPECT_EQ(two.placementRule, PlacementRule::lowestTop);
  EXPECT_EQ(two.maxSwaps, 3);
  EXPECT_EQ(two.startTemperature, 0.003);
  EXPECT_EQ(two.exchangeEvery, 10);
  // Given options win, in any order.
  const SearchOptions given = searchOptionsOf(
      parse({"--placement", "lowest-point", "--max-swaps", "7", "--start-temperature", "0.5",
             "--chains=3", "--exchange-every", "4", "--seed", "9", "--threads", "2"}));
  EXPECT_EQ(given.placementRule, PlacementRule::lowestPoint);
  EXPECT_EQ(given.maxSwaps, 7);
  EXPECT_EQ(given.startTemperature, 0.5);
  EXPECT_EQ(given.exchangeEvery, 4);
  EXPECT_EQ(given.chains, 3);
  EXPECT_EQ(given.seed, 9u);
  EXPECT_EQ(given.threads, 2);
  // --help states the same values.
  const std::string stated =
      "--placement lowest-top --max-swaps 3 --start-temperature 0.003 --exchange-every 10.";
  std::string help;
  for (const char c : usageText()) {  // every run of blanks and line ends as one space
    const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (blank && !help.empty() && help.back() == ' ') continue;
    help += blank ? ' ' : c;
  }
  EXPECT_NE(help.find(stated), std::string::npos) << help;
  EXPECT_EQ(parse({"--max-swaps=1"}).maxSwaps, 1);
  for (const char* bad : {"0", "-2", "1.5", "x", ""})
    EXPECT_EQ(refusal({"--max-swaps", bad}),
              std::string("--max-swaps expects a whole number of at least 1, got \"") + bad + "\"");
}

TEST(ControlArguments, WithSqueezeChainsAndExchangesSetItsPathsAndLeaveTheStartAlone) {
  // Not given: the squeeze's 2 paths exchanging every 2000 moves of each.
  const SqueezeOptions plain =
      squeezeOptionsOf(parse({"--squeeze", "--time-limit", "5", "--seed", "9", "--threads", "3"}));
  EXPECT_EQ(plain.workers, 2);
  EXPECT_EQ(plain.exchangeEvery, 2000u);
  EXPECT_EQ(plain.seed, 9u);
  EXPECT_EQ(plain.threads, 3);
  EXPECT_EQ(plain.timeLimit, 5.0);
  const Arguments given = parse(
      {"--squeeze", "--chains=3", "--time-limit", "5", "--exchange-every", "7", "--threads", "2"});
  const SqueezeOptions three = squeezeOptionsOf(given);
  EXPECT_EQ(three.workers, 3);
  EXPECT_EQ(three.exchangeEvery, 7u);
  // The start is the single search's, whatever --chains says: one chain, its placement rule.
  const SearchOptions start = searchOptionsOf(given);
  EXPECT_EQ(start.chains, 1);
  EXPECT_EQ(start.placementRule, PlacementRule::lowestPoint);
  EXPECT_EQ(start.maxSwaps, 0);
  // The squeeze has 2 paths by default, so --exchange-every alone has something to exchange.
  EXPECT_EQ(squeezeOptionsOf(parse({"--squeeze", "--time-limit", "5", "--exchange-every", "40"}))
                .exchangeEvery,
            40u);
  EXPECT_EQ(squeezeOptionsOf(parse({"--squeeze", "--time-limit", "5", "--chains", "1"})).workers,
            1);

  const std::vector<std::string> squeeze = {"--squeeze", "--time-limit", "5"};
  const auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), squeeze.begin(), squeeze.end());
    return refusal(more);
  };
  for (const char* bad : {"0", "-1", "2.5", "x"})
    EXPECT_EQ(with({"--chains", bad}),
              std::string("--chains expects a whole number of at least 1, got \"") + bad + "\"");
  EXPECT_EQ(with({"--exchange-every", "0"}),
            "--exchange-every expects a whole number of at least 1, got \"0\"");
  EXPECT_EQ(with({"--chains", "1", "--exchange-every", "5"}),
            "--exchange-every needs --chains with at least 2 chains");
  EXPECT_EQ(with({"--chains", "2", "--max-swaps", "3"}),
            "--squeeze cannot be combined with --max-swaps");
  // Without --squeeze, --exchange-every still needs several annealing chains.
  EXPECT_EQ(refusal({"--exchange-every", "5"}),
            "--exchange-every needs --chains with at least 2 chains");
  EXPECT_EQ(refusal({"--layout", "f.txt", "--chains", "2"}),
            "--layout cannot be combined with --chains");
}

}  // namespace
}  // namespace tessera
