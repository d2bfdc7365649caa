#include "search/builds.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "model/input_error.h"

namespace tessera {

namespace {

void lower(Point& p, double top) {
  if (p.z > top) p.z = top;
}

/// The project's parts of the given part files, in this order, in container.
Project projectOfSources(const Project& project, const Polyhedron& container,
                         const std::vector<int>& order) {
  Project part;
  part.container = container;
  part.partTypes = project.partTypes;
  part.sources = project.sources;
  part.PBSL = project.PBSL;
  part.RN = project.RN;
  part.orientationTable = project.orientationTable;
  parkParts(part, order);
  return part;
}

/// The part file of a part type: the first one of its name.
int sourceOfType(const Project& project, int type) {
  const std::string& name = project.partTypes[static_cast<std::size_t>(type)].name;
  for (std::size_t s = 0; s < project.sources.size(); ++s)
    if (project.sources[s].name == name) return static_cast<int>(s);
  return -1;
}

}  // namespace

Polyhedron containerOfHeight(const Polyhedron& container, double height) {
  const double top = container.boxMin.z + height;
  Polyhedron cut = container;
  for (Point& v : cut.vertices) lower(v, top);
  for (Edge& e : cut.edges) {
    lower(e.start, top);
    lower(e.end, top);
    e = Edge::between(e.start, e.end);
  }
  for (Face& f : cut.faces) {
    std::vector<Point> ring = f.points;
    for (Point& p : ring) lower(p, top);
    f.setPoints(std::move(ring));
  }
  cut.computeBoundingBox();
  return cut;
}

Project projectOfParts(const Project& project, const Polyhedron& container,
                       const std::vector<int>& jobIds) {
  std::vector<int> order;
  order.reserve(jobIds.size());
  for (const int id : jobIds) order.push_back(project.sourceOfPart[static_cast<std::size_t>(id)]);
  return projectOfSources(project, container, order);
}

Project projectWithoutTypes(const Project& project, const std::vector<int>& types) {
  std::vector<int> kept;
  for (int id = 0; id < project.parts.count(); ++id)
    if (std::find(types.begin(), types.end(), project.typeOf(id)) == types.end())
      kept.push_back(id);
  return projectOfParts(project, project.container, kept);
}

std::vector<Build> layoutBuilds(const Project& job, const Polyhedron& buildContainer,
                                const PackingSequence& sequence, const Evaluator& evaluator) {
  std::vector<Build> builds;
  std::vector<int> left(sequence.items.begin(), sequence.items.end());
  while (!left.empty()) {
    // The build's project numbers the parts left in ascending job id, as the job does.
    std::vector<int> ids = left;
    std::sort(ids.begin(), ids.end());
    const Project project = projectOfParts(job, buildContainer, ids);
    PackingSequence local;
    local.items.reserve(left.size());
    for (const int id : left)
      local.items.push_back(
          static_cast<int>(std::lower_bound(ids.begin(), ids.end(), id) - ids.begin()));
    const Layout layout = evaluator(project, local);
    Build build;
    std::vector<int> next;
    for (std::size_t i = 0; i < left.size(); ++i) {
      const PartPlacement& placement = layout.parts[static_cast<std::size_t>(local.items[i])];
      if (placement.placed) {
        build.jobIds.push_back(left[i]);
        build.placements.push_back(placement);
      } else {
        next.push_back(left[i]);
      }
    }
    if (build.jobIds.empty())
      throw InputError("零件\"" + job.parts[left.front()].name + "\"在空的构建中也放不下。");
    builds.push_back(std::move(build));
    left = std::move(next);
  }
  return builds;
}

Layout stackedLayout(const Project& job, const std::vector<Build>& builds, double buildHeight) {
  std::vector<PartPlacement> parts;
  parts.reserve(static_cast<std::size_t>(job.parts.count()));
  for (int id = 0; id < job.parts.count(); ++id) parts.push_back(parkedPlacement(job, id));
  for (std::size_t k = 0; k < builds.size(); ++k) {
    const double rise = static_cast<double>(k) * buildHeight;
    for (std::size_t i = 0; i < builds[k].jobIds.size(); ++i) {
      PartPlacement p = builds[k].placements[i];
      if (k > 0) {
        addMove(p.motion, {0.0, 0.0, rise});
        p.boxMin.z += rise;
        p.boxMax.z += rise;
      }
      parts[static_cast<std::size_t>(builds[k].jobIds[i])] = std::move(p);
    }
  }
  return makeLayout(job, std::move(parts));
}

Evaluator buildsEvaluator(Evaluator base, const Polyhedron& buildContainer) {
  const double height = buildContainer.boxMax.z - buildContainer.boxMin.z;
  return [base = std::move(base), buildContainer, height](const Project& job,
                                                          const PackingSequence& sequence) {
    return stackedLayout(job, layoutBuilds(job, buildContainer, sequence, base), height);
  };
}

BuildLayout buildLayoutOf(const Project& job, const Polyhedron& buildContainer,
                          const Build& build) {
  std::vector<int> ids = build.jobIds;
  std::sort(ids.begin(), ids.end());
  BuildLayout result;
  result.project = projectOfParts(job, buildContainer, ids);
  std::vector<PartPlacement> parts(ids.size());
  for (std::size_t i = 0; i < build.jobIds.size(); ++i) {
    const auto at =
        static_cast<int>(std::lower_bound(ids.begin(), ids.end(), build.jobIds[i]) - ids.begin());
    parts[static_cast<std::size_t>(at)] = build.placements[i];
    result.sequence.items.push_back(at);
  }
  result.layout = makeLayout(result.project, std::move(parts));
  result.fillerCopies.assign(job.partTypes.size(), 0);
  return result;
}

namespace {

/// The build's parts and `copies` parts of part file `source`, in volume order as loading
/// sorts them (the copies after parts of equal volume), with the sequence that places the
/// build's parts in their order and then the copies.
std::pair<Project, PackingSequence> withCopies(const BuildLayout& build, int source, int copies) {
  const Project& project = build.project;
  const int parts = project.parts.count();
  // Entries below parts are the build's parts by id; the others are copies.
  std::vector<int> entries(static_cast<std::size_t>(parts + copies));
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = static_cast<int>(i);
  const double copyVolume = project.sources[static_cast<std::size_t>(source)].volume;
  auto volumeOf = [&](int entry) {
    return entry < parts ? project.parts[entry].volume : copyVolume;
  };
  std::stable_sort(entries.begin(), entries.end(),
                   [&](int a, int b) { return volumeOf(a) > volumeOf(b); });
  std::vector<int> order;
  std::vector<int> idOfEntry(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int entry = entries[i];
    order.push_back(entry < parts ? project.sourceOfPart[static_cast<std::size_t>(entry)] : source);
    idOfEntry[static_cast<std::size_t>(entry)] = static_cast<int>(i);
  }
  PackingSequence sequence;
  for (const int id : build.sequence.items)
    sequence.items.push_back(idOfEntry[static_cast<std::size_t>(id)]);
  for (int c = 0; c < copies; ++c)
    sequence.items.push_back(idOfEntry[static_cast<std::size_t>(parts + c)]);
  return {projectOfSources(project, project.container, order), std::move(sequence)};
}

}  // namespace

int fillBuild(BuildLayout& build, int type, double limit, const Evaluator& evaluator,
              int maxCopies) {
  const int source = sourceOfType(build.project, type);
  if (source < 0) return 0;
  const Polyhedron& container = build.project.container;
  const double top = container.boxMin.z + limit;
  // No more copies fit below the limit than its room over a copy's volume.
  const double room = (container.boxMax.x - container.boxMin.x) *
                          (container.boxMax.y - container.boxMin.y) * limit -
                      build.layout.measure.totalVolume;
  const double copyVolume = build.project.sources[static_cast<std::size_t>(source)].volume;
  const double most = copyVolume > 0.0 ? room / copyVolume : 0.0;
  const int bound = most >= maxCopies ? maxCopies : most > 0.0 ? static_cast<int>(most) : 0;
  const int parts = build.project.parts.count();
  for (int copies = std::min(1, bound); copies > 0; copies = std::min(2 * copies, bound)) {
    auto [project, sequence] = withCopies(build, source, copies);
    const Layout layout = evaluator(project, sequence);
    Build kept;
    int keptCopies = 0;
    for (std::size_t i = 0; i < sequence.items.size(); ++i) {
      const int id = sequence.items[i];
      const PartPlacement& p = layout.parts[static_cast<std::size_t>(id)];
      const bool copy = static_cast<int>(i) >= parts;
      if (copy && !(p.placed && p.boxMax.z <= top)) continue;
      keptCopies += copy ? 1 : 0;
      kept.jobIds.push_back(id);
      kept.placements.push_back(p);
    }
    if (keptCopies < copies || copies == bound) {
      std::vector<int> counts = build.fillerCopies;
      build = buildLayoutOf(project, container, kept);
      counts[static_cast<std::size_t>(type)] += keptCopies;
      build.fillerCopies = std::move(counts);
      return keptCopies;
    }
  }
  return 0;
}

}  // namespace tessera
