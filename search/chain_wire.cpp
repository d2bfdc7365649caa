#include "search/chain_wire.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "model/input_error.h"

namespace tessera {

namespace {

// The fields of each message, in the order they travel. Each visitor takes them by reference:
// the writer reads them, the reader fills them. Values travel as their bytes: the processes
// of one search run the same build on the same kind of machine, and efficiencies must arrive
// bit for bit.

template <typename Visit, typename Sequence>
void sequenceFields(Visit& visit, Sequence& s) {
  visit.items(s.items);
  visit(s.efficiency);
}

template <typename Visit, typename Chain>
void chainFields(Visit& visit, Chain& c) {
  sequenceFields(visit, c.current);
  sequenceFields(visit, c.best);
  visit.cooling(c.cooling);
  visit(c.completed);
  visit(c.sum);
  visit(c.minimum);
  visit(c.maximum);
  visit(c.bestFoundBy);
  visit(c.maxSwaps);
}

template <typename Visit, typename Sequences>
void sequencesFields(Visit& visit, Sequences& list) {
  visit.list(list, [&](auto& s) { sequenceFields(visit, s); });
}

template <typename Visit, typename Start>
void startFields(Visit& visit, Start& m) {
  visit(m.chains);
  visit(m.seed);
  chainFields(visit, m.start);
  sequencesFields(visit, m.archive);
}

template <typename Visit, typename Report>
void reportFields(Visit& visit, Report& r) {
  visit(r.index);
  visit(r.exhausted);
  chainFields(visit, r.chain);
  sequencesFields(visit, r.fresh);
}

class Writer {
 public:
  template <typename T>
  void operator()(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void operator()(bool value) { (*this)(static_cast<std::uint8_t>(value ? 1 : 0)); }
  void items(const std::vector<std::int32_t>& items) {
    (*this)(static_cast<std::int64_t>(items.size()));
    bytes_.append(reinterpret_cast<const char*>(items.data()), items.size() * sizeof(std::int32_t));
  }
  void cooling(const Cooling& c) {
    (*this)(static_cast<std::int32_t>(c.schedule()));
    (*this)(c.temperature());
    (*this)(c.change());
  }
  template <typename List, typename Each>
  void list(const List& list, Each&& each) {
    (*this)(static_cast<std::int64_t>(list.size()));
    for (const auto& element : list) each(element);
  }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

class Reader {
 public:
  Reader(const std::string& bytes, int rank) : bytes_(bytes), rank_(rank) {}

  template <typename T>
  void operator()(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::array<char, sizeof(T)> raw;
    take(raw.data(), raw.size());
    value = std::bit_cast<T>(raw);
  }
  void operator()(bool& value) {
    std::uint8_t raw = 0;
    (*this)(raw);
    if (raw > 1) refuse("a flag that is neither 0 nor 1");
    value = raw == 1;
  }
  void items(std::vector<std::int32_t>& items) {
    const std::size_t n = count(sizeof(std::int32_t));
    items.resize(n);
    take(items.data(), n * sizeof(std::int32_t));
  }
  void cooling(Cooling& c) {
    std::int32_t schedule = 0;
    double temperature = 0.0;
    double change = 0.0;
    (*this)(schedule);
    (*this)(temperature);
    (*this)(change);
    if (!isCoolingSchedule(schedule)) refuse("an unknown cooling schedule");
    c = Cooling::restored(static_cast<CoolingSchedule>(schedule), temperature, change);
  }
  template <typename List, typename Each>
  void list(List& list, Each&& each) {
    // Every element takes at least the count of its items.
    list.resize(count(sizeof(std::int64_t)));
    for (auto& element : list) each(element);
  }
  void finish() const {
    if (at_ != bytes_.size()) refuse("bytes past its end");
  }

  [[noreturn]] void refuse(const std::string& what) const {
    throw InputError("MPI: 第 " + std::to_string(rank_) + " 号进程发来的消息有误 (" + what +
                         ", 位于第 " + std::to_string(at_) + " 字节, 共 " +
                         std::to_string(bytes_.size()) +
                         " 字节): 搜索中止; 排样序列文件保持上次定期保存的内容。",
                     InputError::Channel::StandardError);
  }

 private:
  void take(void* to, std::size_t size) {
    if (size > bytes_.size() - at_) refuse("cut short");
    if (size > 0) std::memcpy(to, bytes_.data() + at_, size);
    at_ += size;
  }
  /// A count of elements that each take at least `least` bytes of what is left.
  std::size_t count(std::size_t least) {
    std::int64_t n = 0;
    (*this)(n);
    if (n < 0 || static_cast<std::uint64_t>(n) > (bytes_.size() - at_) / least)
      refuse("a count of " + std::to_string(n) + " that the message cannot hold");
    return static_cast<std::size_t>(n);
  }

  const std::string& bytes_;
  const int rank_;
  std::size_t at_ = 0;
};

void checkSequence(const Reader& in, const PackingSequence& s, int n, int below, const char* what) {
  if (s.count() != n)
    in.refuse(std::string(what) + " of " + std::to_string(s.count()) + " items, not " +
              std::to_string(n));
  for (const std::int32_t item : s.items)
    if (item < 0 || item >= below)
      in.refuse(std::string(what) + " holding " + std::to_string(item));
}

void checkChain(const Reader& in, const AnnealingChain& chain, const WireLimits& limits) {
  checkSequence(in, chain.current, limits.sequenceLength, limits.sequenceLength, "an ID sequence");
  checkSequence(in, chain.best, limits.sequenceLength, limits.sequenceLength, "an ID sequence");
  if (chain.completed < 0) in.refuse("a negative iteration count");
  if (chain.bestFoundBy < -1 || (limits.chains > 0 && chain.bestFoundBy >= limits.chains))
    in.refuse("a chain " + std::to_string(chain.bestFoundBy) + " that does not exist");
}

void checkTypeSequences(const Reader& in, const std::vector<PackingSequence>& list,
                        const WireLimits& limits) {
  for (const PackingSequence& s : list)
    checkSequence(in, s, limits.sequenceLength, limits.partTypes, "a type sequence");
}

Reader commandReader(const std::string& bytes, ChainCommand expected, int rank) {
  Reader in(bytes, rank);
  std::uint8_t kind = 0;
  in(kind);
  if (kind != static_cast<std::uint8_t>(expected)) in.refuse("not the message expected");
  return in;
}

}  // namespace

std::string encodeStart(const StartMessage& message) {
  Writer out;
  out(static_cast<std::uint8_t>(ChainCommand::start));
  startFields(out, message);
  return out.take();
}

std::string encodeRound(int iterations) {
  Writer out;
  out(static_cast<std::uint8_t>(ChainCommand::round));
  out(iterations);
  return out.take();
}

std::string encodeEnd() {
  Writer out;
  out(static_cast<std::uint8_t>(ChainCommand::end));
  return out.take();
}

std::string encodeReports(const std::vector<ChainReport>& reports) {
  Writer out;
  out.list(reports, [&](const ChainReport& r) { reportFields(out, r); });
  return out.take();
}

ChainCommand commandOf(const std::string& bytes) {
  Reader in(bytes, 0);
  std::uint8_t kind = 0;
  in(kind);
  for (const ChainCommand command : {ChainCommand::start, ChainCommand::round, ChainCommand::end})
    if (kind == static_cast<std::uint8_t>(command)) return command;
  in.refuse("an unknown command");
}

StartMessage decodeStart(const std::string& bytes, const WireLimits& limits) {
  Reader in = commandReader(bytes, ChainCommand::start, 0);
  StartMessage message;
  startFields(in, message);
  in.finish();
  if (message.chains < 1) in.refuse("a chain count below 1");
  WireLimits known = limits;
  known.chains = message.chains;
  checkChain(in, message.start, known);
  checkTypeSequences(in, message.archive, known);
  return message;
}

int decodeRound(const std::string& bytes) {
  Reader in = commandReader(bytes, ChainCommand::round, 0);
  int iterations = 0;
  in(iterations);
  in.finish();
  if (iterations < 0) in.refuse("a negative iteration count");
  return iterations;
}

std::vector<ChainReport> decodeReports(const std::string& bytes, const WireLimits& limits,
                                       int rank) {
  Reader in(bytes, rank);
  std::vector<ChainReport> reports;
  in.list(reports, [&](ChainReport& r) { reportFields(in, r); });
  in.finish();
  for (const ChainReport& r : reports) {
    if (r.index < 0 || r.index >= limits.chains || r.index % limits.processes != rank)
      in.refuse("chain " + std::to_string(r.index) + ", which that process does not run");
    checkChain(in, r.chain, limits);
    checkTypeSequences(in, r.fresh, limits);
  }
  return reports;
}

}  // namespace tessera
