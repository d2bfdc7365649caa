#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/packing_sequence.h"
#include "search/annealing.h"

// What the processes of one search say to each other, written once: every message is a list
// of fields that one visitor writes and another reads back. Bytes from another process are
// input: a message cut short, too long or holding what no search could have sent is refused
// with InputError in every build.
namespace tessera {

/// Rank 0's word before a search (kStart), before each round (kRound) and at the end (kEnd).
enum class ChainCommand : std::uint8_t { start = 'S', round = 'R', end = 'E' };

/// kStart: the chain count, the seed, the chain every chain starts as, the archive.
struct StartMessage {
  int chains = 0;
  std::uint32_t seed = 0;
  AnnealingChain start{PackingSequence(), Cooling(CoolingSchedule::Constant, 0.0, 1)};
  std::vector<PackingSequence> archive;
};

/// One chain after a round, as the process that runs it reports it.
struct ChainReport {
  int index = 0;
  bool exhausted = false;
  AnnealingChain chain{PackingSequence(), Cooling(CoolingSchedule::Constant, 0.0, 1)};
  std::vector<PackingSequence> fresh;  // type sequences evaluated since the last exchange
};

/// What messages of one search can hold; anything else is refused.
struct WireLimits {
  int sequenceLength = 0;  // of every ID and type sequence
  int partTypes = 0;       // type indices are below it
  int chains = 0;          // chain indices are below it (0: not known yet)
  int processes = 1;       // chain c is reported by the process of rank c modulo processes
};

std::string encodeStart(const StartMessage& message);
std::string encodeRound(int iterations);
std::string encodeEnd();
std::string encodeReports(const std::vector<ChainReport>& reports);

/// The command a broadcast of rank 0 holds; its payload is read by the decoders below.
ChainCommand commandOf(const std::string& bytes);
StartMessage decodeStart(const std::string& bytes, const WireLimits& limits);
int decodeRound(const std::string& bytes);
/// The reports of the process of this rank.
std::vector<ChainReport> decodeReports(const std::string& bytes, const WireLimits& limits,
                                       int rank);

}  // namespace tessera
