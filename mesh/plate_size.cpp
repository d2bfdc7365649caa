#include "mesh/plate_size.h"

#include <zip.h>

#include <cstddef>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera {

namespace {

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
// A tag longer than this is no tag of a model this reader counts.
constexpr std::size_t kLongestTag = 1 << 20;

std::uint64_t cappedSum(std::uint64_t a, std::uint64_t b) { return a > kMost - b ? kMost : a + b; }

std::uint64_t cappedProduct(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > kMost / b ? kMost : a * b;
}

std::string_view localName(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

/// Objects by "<model part>#<id>": their own vertices and triangles, and the objects their
/// components place.
struct Node {
  std::uint64_t vertices = 0;
  std::uint64_t triangles = 0;
  std::vector<std::string> components;
};

struct Graph {
  std::map<std::string, Node> nodes;
  std::vector<std::string> items;
};

/// The tags of one model part as its text arrives in pieces.
class ModelScanner {
 public:
  ModelScanner(std::string part, Graph& graph) : part_(std::move(part)), graph_(graph) {}

  /// False once the text is no XML this scanner follows.
  bool feed(std::string_view text) {
    for (const char c : text) {
      if (!inTag_) {
        if (c == '<') {
          inTag_ = true;
          tag_.clear();
        }
        continue;
      }
      if (quote_ != 0) {
        if (c == quote_) quote_ = 0;
      } else if ((c == '"' || c == '\'') && !inMarkup()) {
        quote_ = c;
      } else if (c == '>' && complete()) {
        inTag_ = false;
        take(tag_);
        continue;
      }
      tag_.push_back(c);
      if (tag_.size() > kLongestTag) return false;
    }
    return true;
  }

 private:
  // Comments and character data end only at their own closing marks.
  bool inMarkup() const { return tag_.rfind("!--", 0) == 0 || tag_.rfind("![CDATA[", 0) == 0; }
  bool complete() const {
    if (tag_.rfind("!--", 0) == 0)
      return tag_.size() >= 5 && tag_.compare(tag_.size() - 2, 2, "--") == 0;
    if (tag_.rfind("![CDATA[", 0) == 0)
      return tag_.size() >= 10 && tag_.compare(tag_.size() - 2, 2, "]]") == 0;
    return true;
  }

  /// The value of the attribute whose local name is wanted; empty when there is none.
  static std::string attribute(std::string_view tag, std::string_view wanted) {
    std::size_t at = tag.find_first_of(" \t\r\n");
    while (at != std::string_view::npos && at < tag.size()) {
      at = tag.find_first_not_of(" \t\r\n", at);
      if (at == std::string_view::npos) break;
      const std::size_t equals = tag.find('=', at);
      if (equals == std::string_view::npos) break;
      std::string_view name = tag.substr(at, equals - at);
      name = name.substr(0, name.find_last_not_of(" \t\r\n") + 1);
      const std::size_t open = tag.find_first_of("\"'", equals);
      if (open == std::string_view::npos) break;
      const std::size_t close = tag.find(tag[open], open + 1);
      if (close == std::string_view::npos) break;
      if (localName(name) == wanted) return std::string(tag.substr(open + 1, close - open - 1));
      at = close + 1;
    }
    return {};
  }

  std::string keyOf(std::string_view tag, const char* idName) const {
    std::string part = attribute(tag, "path");
    if (!part.empty() && part[0] == '/') part.erase(0, 1);
    return (part.empty() ? part_ : part) + "#" + attribute(tag, idName);
  }

  void take(std::string_view tag) {
    if (tag.empty() || tag[0] == '?' || tag[0] == '!') return;
    const bool closing = tag[0] == '/';
    const std::string_view body = closing ? tag.substr(1) : tag;
    const std::string_view name = localName(body.substr(0, body.find_first_of(" \t\r\n/")));
    const bool empty = !closing && tag.back() == '/';
    if (name == "object") {
      object_ = closing || empty ? std::string() : keyOf(body, "id");
      if (!object_.empty()) graph_.nodes[object_];
    } else if (name == "build") {
      inBuild_ = !closing && !empty;
    } else if (closing) {
      return;
    } else if (name == "item" && inBuild_) {
      graph_.items.push_back(keyOf(body, "objectid"));
    } else if (object_.empty()) {
      return;
    } else if (name == "vertex") {
      Node& node = graph_.nodes[object_];
      node.vertices = cappedSum(node.vertices, 1);
    } else if (name == "triangle") {
      Node& node = graph_.nodes[object_];
      node.triangles = cappedSum(node.triangles, 1);
    } else if (name == "component") {
      graph_.nodes[object_].components.push_back(keyOf(body, "objectid"));
    }
  }

  std::string part_;
  Graph& graph_;
  bool inTag_ = false;
  char quote_ = 0;
  std::string tag_;
  std::string object_;
  bool inBuild_ = false;
};

bool isModelPart(std::string_view name) {
  constexpr std::string_view kEnding = ".model";
  if (name.size() < kEnding.size()) return false;
  for (std::size_t i = 0; i < kEnding.size(); ++i) {
    char c = name[name.size() - kEnding.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kEnding[i]) return false;
  }
  return true;
}

/// Unpacks every model part through a scanner; false when the package cannot be read.
bool scanPackage(const std::string& path, Graph& graph) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (archive == nullptr) return false;
  bool ok = true;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  std::vector<char> buffer(1 << 16);
  for (zip_int64_t i = 0; ok && i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    const char* name = zip_get_name(archive, index, 0);
    if (name == nullptr || !isModelPart(name)) continue;
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr) {
      ok = false;
      break;
    }
    ModelScanner scanner(std::string(name).erase(0, name[0] == '/' ? 1 : 0), graph);
    for (;;) {
      const zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
      if (got < 0) ok = false;
      if (got <= 0) break;
      if (!scanner.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
        ok = false;
        break;
      }
    }
    zip_fclose(file);
  }
  zip_discard(archive);
  return ok;
}

/// The expanded size of every object, each counted once; without recursion, since a file may
/// nest components as deep as it likes.
std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> expandedSizes(const Graph& graph) {
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> size;
  std::map<std::string, int> state;  // 1: being counted, 2: counted
  for (const auto& [key, root] : graph.nodes) {
    if (state[key] == 2) continue;
    std::vector<std::pair<std::string, std::size_t>> stack{{key, 0}};
    state[key] = 1;
    while (!stack.empty()) {
      auto& [at, next] = stack.back();
      const Node& node = graph.nodes.at(at);
      if (next < node.components.size()) {
        const std::string& inner = node.components[next++];
        if (graph.nodes.count(inner) != 0 && state[inner] == 0) {
          state[inner] = 1;
          stack.push_back({inner, 0});
        }
        continue;
      }
      std::pair<std::uint64_t, std::uint64_t> total{node.vertices, node.triangles};
      for (const std::string& inner : node.components) {
        const auto found = size.find(inner);
        if (found == size.end()) continue;  // unknown, or a cycle: the reader refuses it
        total = {cappedSum(total.first, found->second.first),
                 cappedSum(total.second, found->second.second)};
      }
      size[at] = total;
      state[at] = 2;
      stack.pop_back();
    }
  }
  return size;
}

}  // namespace

PlateSize plateSizeOf(const std::string& path) {
  Graph graph;
  PlateSize plate;
  if (!scanPackage(path, graph)) return plate;
  plate.counted = true;
  const auto sizes = expandedSizes(graph);
  for (const std::string& item : graph.items) {
    const auto found = sizes.find(item);
    if (found == sizes.end()) continue;
    plate.vertices = cappedSum(plate.vertices, found->second.first);
    plate.triangles = cappedSum(plate.triangles, found->second.second);
  }
  return plate;
}

std::uint64_t importBytes(std::uint64_t vertices, std::uint64_t triangles) {
  // A vertex is three doubles; a face a ring of three indices on the heap with its line. The
  // import holds the mesh read, a copy of it per part type and the welded solid built from it.
  constexpr std::uint64_t kVertexBytes = 24, kTriangleBytes = 64, kCopies = 3;
  return cappedProduct(kCopies, cappedSum(cappedProduct(vertices, kVertexBytes),
                                          cappedProduct(triangles, kTriangleBytes)));
}

}  // namespace tessera
