#include "search/chain_wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/input_error.h"

// The messages between the processes of one search: what one writes the other reads back
// bit for bit, and bytes that no search could have sent are refused in every build.
namespace tessera {
namespace {

PackingSequence sequence(std::vector<std::int32_t> items, double efficiency) {
  return {std::move(items), efficiency};
}

AnnealingChain chainOf(double efficiency) {
  AnnealingChain chain(sequence({2, 0, 1}, efficiency),
                       Cooling(CoolingSchedule::Geometric, 0.01, 7));
  chain.best = sequence({1, 2, 0}, 0.1 + 0.2);  // not a short decimal: its bits must arrive
  chain.completed = 4;
  chain.sum = 1.75;
  chain.minimum = 0.25;
  chain.maximum = 0.5;
  chain.bestFoundBy = 1;
  chain.maxSwaps = 3;
  return chain;
}

// Three parts of two types; two chains, spread over two processes.
constexpr WireLimits kLimits{3, 2, 2, 2};

StartMessage startMessage() {
  StartMessage m;
  m.chains = 2;
  m.seed = 4242;
  m.start = chainOf(0.375);
  m.archive = {sequence({0, 0, 1}, 0.375), sequence({1, 0, 0}, 0.125)};
  return m;
}

std::vector<ChainReport> reportsOfRankOne() {
  ChainReport r;
  r.index = 1;
  r.exhausted = true;
  r.chain = chainOf(0.5);
  r.fresh = {sequence({0, 1, 0}, 0.5)};
  return {r};
}

void expectSameChain(const AnnealingChain& a, const AnnealingChain& b) {
  EXPECT_EQ(a.current.items, b.current.items);
  EXPECT_EQ(a.best.items, b.best.items);
  EXPECT_EQ(a.best.efficiency, b.best.efficiency);
  EXPECT_EQ(a.current.efficiency, b.current.efficiency);
  EXPECT_EQ(a.cooling.schedule(), b.cooling.schedule());
  EXPECT_EQ(a.cooling.temperature(), b.cooling.temperature());
  EXPECT_EQ(a.cooling.change(), b.cooling.change());
  EXPECT_EQ(a.completed, b.completed);
  EXPECT_EQ(a.sum, b.sum);
  EXPECT_EQ(a.minimum, b.minimum);
  EXPECT_EQ(a.maximum, b.maximum);
  EXPECT_EQ(a.bestFoundBy, b.bestFoundBy);
  EXPECT_EQ(a.maxSwaps, b.maxSwaps);
}

TEST(ChainWire, WhatOneProcessWritesTheOtherReadsBackBitForBit) {
  const StartMessage sent = startMessage();
  const std::string bytes = encodeStart(sent);
  EXPECT_EQ(commandOf(bytes), ChainCommand::start);
  const StartMessage got = decodeStart(bytes, kLimits);
  EXPECT_EQ(got.chains, 2);
  EXPECT_EQ(got.seed, 4242u);
  expectSameChain(got.start, sent.start);
  ASSERT_EQ(got.archive.size(), 2u);
  EXPECT_EQ(got.archive[1].items, (std::vector<std::int32_t>{1, 0, 0}));

  EXPECT_EQ(commandOf(encodeRound(10)), ChainCommand::round);
  EXPECT_EQ(decodeRound(encodeRound(10)), 10);
  EXPECT_EQ(commandOf(encodeEnd()), ChainCommand::end);

  const std::vector<ChainReport> reports =
      decodeReports(encodeReports(reportsOfRankOne()), kLimits, 1);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].index, 1);
  EXPECT_TRUE(reports[0].exhausted);
  expectSameChain(reports[0].chain, reportsOfRankOne()[0].chain);
  ASSERT_EQ(reports[0].fresh.size(), 1u);
  EXPECT_EQ(reports[0].fresh[0].items, (std::vector<std::int32_t>{0, 1, 0}));
}

TEST(ChainWire, AMessageCutShortOrLongerThanItsFieldsIsRefused) {
  const std::string start = encodeStart(startMessage());
  const std::string reports = encodeReports(reportsOfRankOne());
  for (std::size_t size = 0; size < start.size(); ++size)
    EXPECT_THROW(decodeStart(start.substr(0, size), kLimits), InputError) << size;
  for (std::size_t size = 0; size < reports.size(); ++size)
    EXPECT_THROW(decodeReports(reports.substr(0, size), kLimits, 1), InputError) << size;
  EXPECT_THROW(decodeStart(start + '\0', kLimits), InputError);
  EXPECT_THROW(decodeReports(reports + '\0', kLimits, 1), InputError);
  EXPECT_THROW(decodeRound(encodeRound(3).substr(0, 3)), InputError);
  EXPECT_THROW(commandOf(""), InputError);
  try {
    decodeStart(start.substr(0, start.size() - 1), kLimits);
    FAIL() << "no error";
  } catch (const InputError& error) {
    EXPECT_NE(std::string(error.what()).find("cut short"), std::string::npos) << error.what();
    EXPECT_EQ(error.channel(), InputError::Channel::StandardError);
  }
}

TEST(ChainWire, WhatNoSearchCouldHaveSentIsRefused) {
  EXPECT_THROW(commandOf("X"), InputError);
  EXPECT_THROW(decodeRound(encodeEnd()), InputError);  // not the message expected
  EXPECT_THROW(decodeRound(encodeRound(-1)), InputError);
  // A report from a process that does not run that chain.
  EXPECT_THROW(decodeReports(encodeReports(reportsOfRankOne()), kLimits, 0), InputError);
  // A type index beyond the project's types, an ID sequence of the wrong length.
  std::vector<ChainReport> badType = reportsOfRankOne();
  badType[0].fresh[0].items[2] = 2;
  EXPECT_THROW(decodeReports(encodeReports(badType), kLimits, 1), InputError);
  std::vector<ChainReport> shortSequence = reportsOfRankOne();
  shortSequence[0].chain.current.items.pop_back();
  EXPECT_THROW(decodeReports(encodeReports(shortSequence), kLimits, 1), InputError);
  StartMessage noChains = startMessage();
  noChains.chains = 0;
  EXPECT_THROW(decodeStart(encodeStart(noChains), kLimits), InputError);
  // A count far beyond what the bytes can hold is refused before anything is allocated.
  std::string huge = encodeReports({});
  huge.replace(0, 8, std::string("\xff\xff\xff\xff\xff\xff\xff\x7f", 8));
  EXPECT_THROW(decodeReports(huge, kLimits, 1), InputError);
}

}  // namespace
}  // namespace tessera
