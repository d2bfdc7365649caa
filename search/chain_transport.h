// search: the processes a multi-chain search is spread over, as the chains see them.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tessera {

/// Rank 0 leads: it alone talks to the console and writes files, the other processes run
/// their share of the chains. Every call is collective (every process makes it, in the same
/// order) and throws InputError when the processes lost each other.
class ChainTransport {
 public:
  virtual ~ChainTransport() = default;
  virtual int rank() const = 0;
  virtual int processes() const = 0;
  /// Rank 0's bytes, on every process.
  virtual void broadcast(std::string& bytes) = 0;
  /// Every process's bytes in rank order, on every process.
  virtual std::vector<std::string> allGather(const std::string& mine) = 0;

  /// Whether rank 0 has told the others that the search is over (it does so once).
  bool ended() const { return ended_; }
  void setEnded() { ended_ = true; }

 private:
  bool ended_ = false;
};

/// The processes of this launch when it was started by an MPI launcher (mpirun, srun) with
/// more than one process and the program was built with MPI; nullptr otherwise, and then MPI
/// was never started. MPI ends when the transport goes.
std::unique_ptr<ChainTransport> startChainTransport(int& argc, char**& argv);

}  // namespace tessera
