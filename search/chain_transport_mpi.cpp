#include <climits>
#include <cstdlib>

#include "search/chain_transport.h"

#if TESSERA_MPI

// The C interface is all this uses; the deprecated C++ one would only add warnings.
#define OMPI_SKIP_MPICXX 1
#define MPICH_SKIP_MPICXX 1
#include <mpi.h>

#include "model/input_error.h"

namespace tessera {

namespace {

/// With MPI_ERRORS_RETURN a call that fails comes back here instead of ending the process.
void check(int code, const char* call) {
  if (code == MPI_SUCCESS) return;
  char text[MPI_MAX_ERROR_STRING] = {};
  int length = 0;
  MPI_Error_string(code, text, &length);
  throw InputError(
      std::string("MPI: ") + call + " 失败 (" + std::string(text, length) +
          "): 搜索的进程之间失去了联系, 搜索中止; 排样序列文件保持上次定期保存的内容。",
      InputError::Channel::StandardError);
}

int count(std::size_t bytes) {
  if (bytes > static_cast<std::size_t>(INT_MAX))
    throw InputError("MPI: 一次要发送的数据超过 2 GB, 无法发送。",
                     InputError::Channel::StandardError);
  return static_cast<int>(bytes);
}

class MpiTransport final : public ChainTransport {
 public:
  MpiTransport(int rank, int processes) : rank_(rank), processes_(processes) {}
  ~MpiTransport() override { MPI_Finalize(); }
  MpiTransport(const MpiTransport&) = delete;
  MpiTransport& operator=(const MpiTransport&) = delete;

  int rank() const override { return rank_; }
  int processes() const override { return processes_; }

  void broadcast(std::string& bytes) override {
    long long size = static_cast<long long>(bytes.size());
    check(MPI_Bcast(&size, 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD), "MPI_Bcast");
    bytes.resize(static_cast<std::size_t>(size));
    check(MPI_Bcast(bytes.data(), count(bytes.size()), MPI_BYTE, 0, MPI_COMM_WORLD), "MPI_Bcast");
  }

  std::vector<std::string> allGather(const std::string& mine) override {
    int mineSize = count(mine.size());
    std::vector<int> sizes(static_cast<std::size_t>(processes_));
    check(MPI_Allgather(&mineSize, 1, MPI_INT, sizes.data(), 1, MPI_INT, MPI_COMM_WORLD),
          "MPI_Allgather");
    std::vector<int> offsets(sizes.size());
    std::size_t total = 0;
    for (std::size_t r = 0; r < sizes.size(); ++r) {
      offsets[r] = count(total);
      total += static_cast<std::size_t>(sizes[r]);
    }
    std::string all(total, '\0');
    check(MPI_Allgatherv(mine.data(), mineSize, MPI_BYTE, all.data(), sizes.data(), offsets.data(),
                         MPI_BYTE, MPI_COMM_WORLD),
          "MPI_Allgatherv");
    std::vector<std::string> parts;
    for (std::size_t r = 0; r < sizes.size(); ++r)
      parts.push_back(
          all.substr(static_cast<std::size_t>(offsets[r]), static_cast<std::size_t>(sizes[r])));
    return parts;
  }

 private:
  int rank_;
  int processes_;
};

/// Open MPI's mpirun and Slurm's srun leave these in every process they start.
bool startedByLauncher() {
  return std::getenv("OMPI_COMM_WORLD_SIZE") != nullptr || std::getenv("PMI_SIZE") != nullptr ||
         std::getenv("PMIX_RANK") != nullptr;
}

}  // namespace

std::unique_ptr<ChainTransport> startChainTransport(int& argc, char**& argv) {
  if (!startedByLauncher()) return nullptr;
  int provided = 0;
  // Only the main thread calls MPI; the chains' threads never do.
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  int rank = 0;
  int processes = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &processes);
  if (processes <= 1) {
    MPI_Finalize();
    return nullptr;
  }
  return std::make_unique<MpiTransport>(rank, processes);
}

}  // namespace tessera

#else

namespace tessera {

std::unique_ptr<ChainTransport> startChainTransport(int&, char**&) { return nullptr; }

}  // namespace tessera

#endif
