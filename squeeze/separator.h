#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "placement/prepared_solid.h"
#include "placement/worker_pool.h"
#include "squeeze/problem.h"
#include "squeeze/random.h"
#include "squeeze/shapes.h"

// The repair of a layout whose parts overlap, inside a strip of fixed height: each colliding
// part in turn moves to the best of many sampled poses, scored by the weighted overlap proxy,
// and pairs that keep colliding weigh more and more (guided local search).
namespace tessera {

struct SeparatorOptions {
  int globalSamples = 50;             // poses anywhere in the strip
  double globalTurnShare = 0.5;       // share of them in any allowed orientation, the rest keep
                                      // the part's own
  int localSamples = 25;              // poses near the part's current one
  double localReach = 0.25;           // local offsets up to this share of the part's extent
  double turnShare = 0.2;             // share of local samples that take another orientation
  double descentStart = 0.1;          // first step of the refinement, share of the part's extent
  double descentEnd = 0.002;          // the refinement ends below this share
  int passesWithoutImprovement = 50;  // a strike ends after this many
  int strikes = 3;                    // strikes in a row without improvement end the repair
  double weightGrowthLow = 1.2;       // a colliding pair's weight grows by a factor in this range,
  double weightGrowthHigh = 2.0;      // the more the deeper it overlaps
  double weightDecay = 0.95;          // a separated pair's weight falls back towards 1
  double decayShare = 1.0;            // the proxy's smoothing length, in spacings of the field read
};

/// The box every part's box must lie in: the container's footprint, from the floor up to the
/// height limit.
struct Strip {
  Point low;
  Point high;
};

/// The container's box shrunk by a unit of the last place on the walls where the containment
/// test refuses points: a part whose box lies in it is inside the container.
Strip containerStrip(const SqueezeProblem& problem);

struct SeparatorCounters {
  std::uint64_t moves = 0;        // parts moved to their best sampled pose
  std::uint64_t evaluations = 0;  // poses scored
  std::uint64_t exactTests = 0;   // solid-disjointness tests
  std::uint64_t passes = 0;       // rounds over the colliding parts
};

class Separator {
 public:
  /// Poses sampled for one move are scored on the pool's threads; what the separator does
  /// depends on its inputs and the random stream only, never on the number of threads.
  Separator(const SqueezeProblem& problem, const ShapeCatalogue& shapes,
            const SeparatorOptions& options, WorkerPool& pool);

  /// Takes the poses and the strip, and scores every pair afresh.
  void load(const std::vector<Pose>& poses, const Strip& strip);
  /// Lowers the strip's top: with scale, every part's height above the floor scales by the
  /// ratio of the new limit to the old; parts still above the limit come down to it.
  void shrink(double top, bool scale);
  /// In a layout without collisions, moves each part, lowest first, as far down as it goes
  /// without colliding (by halving steps).
  void settle();
  /// Moves each part in collision or refused by the containment test by the smallest offset
  /// (units of about 1e-9 of the container's size, growing to 1e-5) that frees it: a layout
  /// whose faults are rounding, as the greedy layout's are as poses, comes out whole.
  void nudge();
  /// Exchanges the places of two parts (box centres; each keeps its orientation).
  void swap(int a, int b);

  /// Repairs until no pair collides (true) or the strikes run out or stop() says so (false);
  /// a repair that gives up leaves the least overlapping layout it saw.
  bool separate(SqueezeRandom& random, const std::function<bool()>& stop);

  bool collisionFree() const;
  double totalOverlap() const;
  const std::vector<Pose>& poses() const { return poses_; }
  /// Box tops of the parts, for heightOverTops.
  std::vector<double> tops() const;
  const Strip& strip() const { return strip_; }
  const SeparatorCounters& counters() const { return counters_; }

 private:
  struct Scratch {
    PreparedSolid solid;                      // the candidate pose realised on demand
    const PreparedSolid* realised = nullptr;  // the candidate's realised solid, once there
    std::uint64_t evaluations = 0;
    std::uint64_t exactTests = 0;
    std::vector<std::pair<int, double>> pending;  // partners the proxy is unsure of
  };

  struct Proxy {
    double value = 0.0;    // what the pair costs when it collides
    bool certain = false;  // the proxy alone proves the collision
  };

  struct Snapshot {
    std::vector<Pose> poses;
    std::vector<double> overlap;
  };

  Proxy proxyOf(int i, const Pose& pose, const TurnedShape& shape, int j) const;
  /// Whether the pair collides, for a pair the proxy is unsure of: hull proofs, then the
  /// exact test.
  bool collides(int i, const Pose& pose, const TurnedShape& shape, int j, Scratch& scratch) const;
  /// The pair's proxy when the exact test finds it colliding, else 0; scratch.realised must
  /// hold part i in the pose.
  double pairOverlap(int i, const Pose& pose, const TurnedShape& shape, int j,
                     Scratch& scratch) const;
  double cost(int i, const Pose& pose, double cutoff, Scratch& scratch) const;
  /// The index of the lowest-scoring pose (the first of equal ones) and its score.
  std::pair<std::size_t, double> bestOf(int i, const std::vector<Pose>& poses);
  void place(int i, const Pose& pose);
  bool outsideContainer(int i) const;
  bool inTrouble(int i) const;
  void moveBest(int i, SqueezeRandom& random);
  Pose globalSample(int i, SqueezeRandom& random) const;
  Pose localSample(int i, const Pose& around, SqueezeRandom& random) const;
  Pose clamped(int i, Pose pose) const;
  bool fitsStrip(int type, int orientation) const;
  void realise(int i, const Pose& pose, PreparedSolid& out) const;
  void rescoreAll();
  void updateWeights();
  Snapshot snapshot() const;
  void restore(const Snapshot& s);

  const SqueezeProblem& problem_;
  const ShapeCatalogue& shapes_;
  SeparatorOptions options_;
  int n_ = 0;
  Strip strip_;
  std::vector<Pose> poses_;
  std::vector<Point> boxMin_;
  std::vector<Point> boxMax_;
  std::vector<PreparedSolid> solids_;  // realised, planes current
  std::vector<double> overlap_;        // n x n, the proxy of each colliding pair, else 0
  std::vector<double> weight_;         // n x n, at least 1
  std::vector<int> collisions_;        // per part, partners it collides with
  std::vector<char> outside_;          // per part, refused by the containment test
  PreparedSolid container_;
  double separationMargin_ = 0.0;  // a face plane proves two parts apart beyond this
  WorkerPool& pool_;
  std::vector<Scratch> scratch_;  // one per thread of the pool
  std::vector<Pose> samples_;
  SeparatorCounters counters_;
};

}  // namespace tessera
