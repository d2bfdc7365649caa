#include "app/arguments.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "formats/number_format.h"
#include "formats/pose_file.h"
#include "formats/run_files.h"
#include "mesh/layout_export.h"
#include "model/input_error.h"
#include "placement/worker_pool.h"
#include "search/random.h"

namespace tessera {

namespace {

[[noreturn]] void refuse(const std::string& message) {
  throw InputError(message + "\n" + usageText(), InputError::Channel::StandardError);
}

int parseCount(const std::string& option, const std::string& value) {
  errno = 0;
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno == ERANGE || n < INT_MIN || n > INT_MAX)
    refuse(option + " expects an integer, got \"" + value + "\"");
  return static_cast<int>(n);
}

std::string exportPathOf(const std::string& value, const std::filesystem::path& startFolder) {
  if (value.empty() || !exportFormatOf(value))
    refuse("--export expects a file ending in .3mf, .stl or .obj, got \"" + value + "\"");
  return (startFolder / value).lexically_normal().string();
}

int parseThreads(const std::string& value) {
  const int n = parseCount("--threads", value);
  if (n < 1) refuse("--threads expects at least 1, got " + value);
  if (n > kMaxThreads)
    refuse("--threads expects at most " + std::to_string(kMaxThreads) + ", got " + value);
  return n;
}

std::uint32_t parseSeed(const std::string& value) {
  errno = 0;
  char* end = nullptr;
  const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
  const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || *end != '\0' || errno == ERANGE || n > UINT32_MAX)
    refuse("--seed expects an integer from 0 to " + std::to_string(UINT32_MAX) + ", got \"" +
           value + "\"");
  return static_cast<std::uint32_t>(n);
}

/// A finite number greater than 0; what it counts is named in the message.
double parsePositive(const std::string& option, const std::string& value, const std::string& unit) {
  errno = 0;
  char* end = nullptr;
  const double x = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !std::isfinite(x) || !(x > 0.0))
    refuse(option + " expects a positive number" + unit + ", got \"" + value + "\"");
  return x;
}

/// A whole number of at least 1.
int parseAtLeastOne(const std::string& option, const std::string& value) {
  errno = 0;
  char* end = nullptr;
  const long n = std::strtol(value.c_str(), &end, 10);
  const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || *end != '\0' || errno == ERANGE || n < 1 || n > INT_MAX)
    refuse(option + " expects a whole number of at least 1, got \"" + value + "\"");
  return static_cast<int>(n);
}

CoolingSchedule parseSchedule(const std::string& value) {
  if (value == "linear") return CoolingSchedule::Linear;
  if (value == "geometric") return CoolingSchedule::Geometric;
  if (value == "constant") return CoolingSchedule::Constant;
  refuse("--schedule expects linear, geometric or constant, got \"" + value + "\"");
}

PlacementRule parsePlacementRule(const std::string& value) {
  if (value == "lowest-point") return PlacementRule::lowestPoint;
  if (value == "lowest-top") return PlacementRule::lowestTop;
  refuse("--placement expects lowest-point or lowest-top, got \"" + value + "\"");
}

/// The annealing's own options, each with whether it was given.
std::vector<std::pair<bool, const char*>> annealingOptionsOf(const Arguments& parsed) {
  return {{parsed.evaluateOnly, "--evaluate-only"},
          {parsed.iterations.has_value(), "--iterations"},
          {parsed.startTemperature.has_value(), "--start-temperature"},
          {parsed.schedule.has_value(), "--schedule"},
          {parsed.maxSwaps.has_value(), "--max-swaps"}};
}

/// Refuses the first of options given with option.
void refuseAnyWith(const char* option, const std::vector<std::pair<bool, const char*>>& options) {
  for (const auto& [given, name] : options)
    if (given) refuse(std::string(option) + " cannot be combined with " + name);
}

/// --squeeze runs until its time limit and does not anneal: the options of the annealing are
/// refused rather than silently ignored. --chains and --exchange-every set its paths.
void refuseWithSqueeze(const Arguments& parsed) {
  if (!parsed.timeLimit) refuse("--squeeze needs --time-limit SECONDS");
  refuseAnyWith("--squeeze", annealingOptionsOf(parsed));
}

/// --layout writes out a saved layout: the options of a search are refused, not ignored.
void refuseWithLayout(const Arguments& parsed) {
  std::vector<std::pair<bool, const char*>> searching = {
      {parsed.squeeze, "--squeeze"},
      {parsed.timeLimit.has_value(), "--time-limit"},
      {parsed.seed.has_value(), "--seed"},
      {parsed.placementRule.has_value(), "--placement"},
      {parsed.chains.has_value(), "--chains"},
      {parsed.exchangeEvery.has_value(), "--exchange-every"},
      {parsed.maxHeight.has_value(), "--max-height"}};
  for (const auto& option : annealingOptionsOf(parsed)) searching.push_back(option);
  refuseAnyWith("--layout", searching);
}

}  // namespace

Arguments parseArguments(const std::vector<std::string>& args,
                         const std::filesystem::path& startFolder) {
  Arguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) refuse(arg + " needs a value");
      return args[++i];
    };
    // The value of the option called name, given as "name VALUE" or "name=VALUE".
    auto valueOf = [&](const std::string& name) -> std::optional<std::string> {
      if (arg == name) return value();
      if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
      return std::nullopt;
    };
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--iterations") {
      parsed.iterations = parseCount(arg, value());
    } else if (arg.rfind("--iterations=", 0) == 0) {
      parsed.iterations = parseCount("--iterations", arg.substr(13));
    } else if (arg == "--threads") {
      parsed.threads = parseThreads(value());
    } else if (arg.rfind("--threads=", 0) == 0) {
      parsed.threads = parseThreads(arg.substr(10));
    } else if (const auto seed = valueOf("--seed")) {
      parsed.seed = parseSeed(*seed);
    } else if (const auto limit = valueOf("--time-limit")) {
      parsed.timeLimit = parsePositive("--time-limit", *limit, " of seconds");
    } else if (const auto start = valueOf("--start-temperature")) {
      parsed.startTemperature = parsePositive("--start-temperature", *start, "");
    } else if (const auto schedule = valueOf("--schedule")) {
      parsed.schedule = parseSchedule(*schedule);
    } else if (const auto chains = valueOf("--chains")) {
      parsed.chains = parseAtLeastOne("--chains", *chains);
    } else if (const auto every = valueOf("--exchange-every")) {
      parsed.exchangeEvery = parseAtLeastOne("--exchange-every", *every);
    } else if (const auto swaps = valueOf("--max-swaps")) {
      parsed.maxSwaps = parseAtLeastOne("--max-swaps", *swaps);
    } else if (const auto name = valueOf("--placement")) {
      parsed.placementRule = parsePlacementRule(*name);
    } else if (const auto file = valueOf("--layout")) {
      if (file->empty()) refuse("--layout expects a layout file of poses");
      parsed.layout = (startFolder / *file).lexically_normal().string();
    } else if (const auto height = valueOf("--max-height")) {
      parsed.maxHeight = parsePositive("--max-height", *height, "");
    } else if (arg == "--squeeze") {
      parsed.squeeze = true;
    } else if (arg == "--evaluate-only") {
      parsed.evaluateOnly = true;
    } else if (arg == "--no-picture") {
      parsed.picture = false;
    } else if (arg == "--export") {
      parsed.exportPath = exportPathOf(value(), startFolder);
    } else if (arg.rfind("--export=", 0) == 0) {
      parsed.exportPath = exportPathOf(arg.substr(9), startFolder);
    } else if (arg == "--export-container") {
      parsed.exportContainer = true;
    } else if (arg == "--export-shapes") {
      parsed.exportShapes = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      refuse("unknown option " + arg);
    } else if (!parsed.project) {
      parsed.project = arg;
    } else {
      refuse("only one project file may be given");
    }
  }
  if (parsed.exportContainer && !parsed.exportPath) refuse("--export-container needs --export");
  if (parsed.exportShapes && !parsed.exportPath) refuse("--export-shapes needs --export");
  // The squeeze runs several paths unless told otherwise, the annealing one chain.
  const int chains = parsed.chains.value_or(parsed.squeeze ? SqueezeOptions{}.workers : 1);
  if (parsed.exchangeEvery && chains < 2)
    refuse("--exchange-every needs --chains with at least 2 chains");
  if (parsed.layout) refuseWithLayout(parsed);
  if (parsed.squeeze) refuseWithSqueeze(parsed);
  if (parsed.maxHeight && parsed.evaluateOnly)
    refuse("--max-height cannot be combined with --evaluate-only");
  return parsed;
}

SearchOptions searchOptionsOf(const Arguments& arguments) {
  SearchOptions options;
  // With --squeeze, --chains and --exchange-every are the squeeze's (squeezeOptionsOf): its
  // start is the single search's.
  const std::optional<int> chains = arguments.squeeze ? std::nullopt : arguments.chains;
  const std::optional<int> every = arguments.squeeze ? std::nullopt : arguments.exchangeEvery;
  options.chains = chains.value_or(1);
  const AnnealingDefaults& defaults =
      options.chains >= 2 ? kSeveralChainsDefaults : kSingleChainDefaults;
  options.iterations = arguments.iterations;
  options.startTemperature = arguments.startTemperature.value_or(defaults.startTemperature);
  options.schedule = arguments.schedule.value_or(defaults.schedule);
  options.maxSwaps = arguments.maxSwaps.value_or(defaults.maxSwaps);
  options.exchangeEvery = every.value_or(defaults.exchangeEvery);
  options.placementRule = arguments.placementRule.value_or(defaults.placementRule);
  options.timeLimitSeconds = arguments.timeLimit;
  options.threads = arguments.threads.value_or(defaultThreadCount());
  options.seed = arguments.seed.value_or(Random::kDefaultSeed);
  return options;
}

SqueezeOptions squeezeOptionsOf(const Arguments& arguments) {
  const SearchOptions search = searchOptionsOf(arguments);
  SqueezeOptions options;
  options.seed = search.seed;
  options.threads = search.threads;
  options.timeLimit = search.timeLimitSeconds.value_or(0.0);
  options.workers = arguments.chains.value_or(options.workers);
  if (arguments.exchangeEvery)
    options.exchangeEvery = static_cast<std::uint64_t>(*arguments.exchangeEvery);
  return options;
}

// The text below states these defaults in words.
static_assert(kSingleChainDefaults.schedule == CoolingSchedule::Linear);
static_assert(kSingleChainDefaults.placementRule == PlacementRule::lowestPoint);
static_assert(kSingleChainDefaults.maxSwaps == 0);

std::string usageText() {
  const AnnealingDefaults& several = kSeveralChainsDefaults;
  const SqueezeOptions squeezeDefaults;
  const auto name = [](RunFileRole role) { return runFileName(role); };
  std::ostringstream out;
  out << "Usage: tessera [PROJECT] [--iterations N] [--threads N] [--evaluate-only] "
         "[--no-picture]\n"
         "               [--export FILE.3mf|FILE.stl|FILE.obj [--export-container]\n"
         "               [--export-shapes]]\n"
         "               [--seed S] [--time-limit SECONDS] [--start-temperature T]\n"
         "               [--schedule linear|geometric|constant]\n"
         "               [--chains K [--exchange-every E]] [--max-swaps M]\n"
         "               [--placement lowest-point|lowest-top]\n"
         "               [--squeeze --time-limit SECONDS] [--layout FILE]\n"
         "               [--max-height H]\n"
         "\n"
         "Packs the parts of a project into its container so that the packing height comes out\n"
         "as small as possible, by a simulated annealing search over packing sequences.\n"
         "\n"
         "  PROJECT          the project file; without it the program asks for one. The working\n"
         "                   folder becomes the project's folder: relative paths in the project\n"
         "                   and every output file refer to it.\n"
         "  --iterations N   the number of iterations of the search; without it the program\n"
         "                   asks on the console (N <= 0 runs no iteration).\n"
         "  --threads N      search the orientations of each part on N threads (1 to "
      << kMaxThreads
      << ");\n"
         "                   all cores when not given. Results are the same for every N.\n"
         "  --seed S         start the search's random generator from S (0 to "
      << UINT32_MAX
      << ")\n"
         "                   instead of its fixed state "
      << Random::kDefaultSeed
      << ". The same S gives the same run.\n"
         "  --time-limit SECONDS  end the search after the iteration in which SECONDS of\n"
         "                   computing time (pauses not counted) have passed, writing every\n"
         "                   output as a stop in the pause does. The planned iterations still\n"
         "                   set the cooling, so give a generous --iterations with it. With\n"
         "                   --squeeze: the seconds the squeeze runs after the start.\n"
         "  --start-temperature T  the annealing temperature of iteration 1 (T > 0; "
      << formatNumber(kSingleChainDefaults.startTemperature)
      << ").\n"
         "  --schedule NAME  how the temperature falls over the planned N iterations: linear\n"
         "                   (by T/N each iteration, the default), geometric (by a constant\n"
         "                   factor, from T to T/N) or constant (stays T).\n"
         "  --chains K       run K annealing chains side by side (K >= 1; 1, the default, is the\n"
         "                   single search). Each runs the planned iterations with a generator\n"
         "                   of its own derived from the seed; every E iterations they exchange\n"
         "                   the type sequences they evaluated and the best sequence, which every\n"
         "                   chain whose current solution is worse takes up. The log follows\n"
         "                   chain 0 and adds a line per exchange. Pauses, Ctrl-C, the time limit\n"
         "                   and periodic saves act at exchanges. The same seed and K give the\n"
         "                   same result with any --threads. With K >= 2, the options below not\n"
         "                   given take the values measured best for several chains:\n"
         "                   --placement "
      << placementRuleName(several.placementRule) << " --max-swaps " << several.maxSwaps
      << " --start-temperature " << formatNumber(several.startTemperature)
      << "\n"
         "                   --exchange-every "
      << several.exchangeEvery
      << ".\n"
         "  --exchange-every E  iterations of each chain between exchanges (E >= 1; "
      << several.exchangeEvery
      << ").\n"
         "                   With --squeeze, both set the squeeze's paths instead (below).\n"
         "  --max-swaps M    a neighbour is made by 1 to M random swaps, fewer more likely\n"
         "                   (M >= 1; the default is the number of parts).\n"
         "  --placement RULE  how each part's orientation is chosen, each at its lowest free\n"
         "                   position: lowest-point (its reference point ends lowest, the\n"
         "                   default) or lowest-top (its top ends lowest). A sequence file\n"
         "                   holds efficiencies of the rule it was searched with.\n"
         "  --squeeze        instead of annealing, lay out the start sequence (or the sequence\n"
         "                   file's best) once, then let parts overlap while the height limit\n"
         "                   is lowered and move them apart again, until --time-limit; a layout\n"
         "                   counts only when the exact tests find no overlap. Needs\n"
         "                   --time-limit; honours --seed, --threads, --placement (of the start)\n"
         "                   and the outputs' options; not with the annealing's options.\n"
         "                   --chains K: K paths are searched side by side (default "
      << squeezeDefaults.workers
      << "), on one\n"
         "                   machine; every E moves of each (--exchange-every E, default "
      << squeezeDefaults.exchangeEvery
      << ")\n"
         "                   the paths above the lowest layout take it over. What the paths\n"
         "                   find depends on the seed, K, E and the time, never on --threads.\n"
         "                   Ctrl-C stops it and writes the best layout found; a key pauses\n"
         "                   it as it pauses the annealing. Each lower layout is kept in\n"
         "                   "
      << kPoseFileName
      << ", at most every 30 s and at the end; a\n"
         "                   later --squeeze starts from it when it is lower than the start.\n"
         "  --layout FILE    write every output (report, drawing, picture, page, --export) of\n"
         "                   the layout in FILE, a layout file of poses such as the one above,\n"
         "                   without a search; the log and the sequence file stay as they are.\n"
         "                   A relative FILE is taken from the folder the command was started\n"
         "                   in. Not with the options of a search.\n"
         "                   Ctrl-C stops it and writes the best layout found.\n"
         "  --max-height H   pack the parts into as few builds of height H (the container cut\n"
         "                   to H over its floor; a box container only) as the search finds:\n"
         "                   a layout fills build 1, the parts that find no place there go on\n"
         "                   into build 2, and so on; fewer builds win, then a lower last one.\n"
         "                   Each build writes its own report, drawing, picture, page and\n"
         "                   export, named NAME_buildK (report_build1.txt, ...); report.txt\n"
         "                   sums up the job. Works with --chains, and with --squeeze, which\n"
         "                   squeezes each build for its share of the time limit; not with\n"
         "                   --evaluate-only. A part taller than H in every orientation is\n"
         "                   refused. Part types marked as fillers get as many copies as fit\n"
         "                   below each build's height, and below H in the last build.\n"
         "  --evaluate-only  place the parts once in identifier order, print the packing\n"
         "                   efficiency and height, and stop (writes only the --export file).\n"
         "  --no-picture     do not write the PNG picture beside each layout drawing.\n"
         "  --export FILE    also write the final layout as a mesh file, one object per part\n"
         "                   named NAME#ID; the extension picks the format: .3mf, .stl (ASCII)\n"
         "                   or .obj. A relative FILE is taken from the folder the command was\n"
         "                   started in. A pause writes BASENAME plus the same extension.\n"
         "  --export-container  add the container to the export as an object of its own.\n"
         "  --export-shapes  for a project whose parts were imported as wraps (it has a\n"
         "                   PROJECT-meshes.txt beside it), the export holds each part's\n"
         "                   original mesh; this adds the packing shapes, named NAME#ID shape.\n"
         "  --help           this text.\n"
         "\n"
         "Outputs in the project's folder: "
      << name(RunFileRole::finalReport) << ", " << name(RunFileRole::drawing)
      << " and its picture\n"
      << name(RunFileRole::picture) << ", the search log\n"
      << name(RunFileRole::log) << " (appended) and " << name(RunFileRole::sequence)
      << ", from which the next run\n"
         "resumes. During the search, press a key once to save the best layout so far or to\n"
         "stop early; Ctrl-C also stops early and writes every output.\n";
  return out.str();
}

}  // namespace tessera
