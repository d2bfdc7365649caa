#include "mesh/ply_reader.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessera {

namespace {

enum class Encoding { Ascii, LittleEndian, BigEndian };

enum class Type { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

std::optional<Type> typeNamed(std::string_view name) {
  if (name == "char" || name == "int8") return Type::Int8;
  if (name == "uchar" || name == "uint8") return Type::UInt8;
  if (name == "short" || name == "int16") return Type::Int16;
  if (name == "ushort" || name == "uint16") return Type::UInt16;
  if (name == "int" || name == "int32") return Type::Int32;
  if (name == "uint" || name == "uint32") return Type::UInt32;
  if (name == "float" || name == "float32") return Type::Float32;
  if (name == "double" || name == "float64") return Type::Float64;
  return std::nullopt;
}

std::size_t sizeOf(Type type) {
  switch (type) {
    case Type::Int8:
    case Type::UInt8:
      return 1;
    case Type::Int16:
    case Type::UInt16:
      return 2;
    case Type::Int32:
    case Type::UInt32:
    case Type::Float32:
      return 4;
    case Type::Float64:
      return 8;
  }
  return 0;
}

bool isInteger(Type type) { return type != Type::Float32 && type != Type::Float64; }

struct Property {
  std::string name;
  Type type = Type::Float32;
  bool list = false;
  Type countType = Type::UInt8;  // of a list
};

struct Element {
  std::string name;
  long long count = 0;
  std::vector<Property> properties;
  int line = 0;  // of its header line
};

/// The body of the file after the header, value by value.
class Body {
 public:
  Body(const std::string& bytes, std::size_t start, int line, Encoding encoding,
       const std::string& file)
      : bytes_(bytes), at_(start), line_(line), encoding_(encoding), file_(file) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw ImportError(importMessage(file_, encoding_ == Encoding::Ascii ? line_ : 0, what));
  }

  std::size_t remaining() const { return bytes_.size() - at_; }
  /// The line of the value read last; 0 in a binary body.
  int line() const { return encoding_ == Encoding::Ascii ? line_ : 0; }

  /// The next value as a double; integers are exact.
  double number(Type type, const char* what) {
    if (encoding_ == Encoding::Ascii) return asciiNumber(type, what);
    const std::size_t size = sizeOf(type);
    if (remaining() < size) fail(std::string("file ends inside ") + what + " (truncated?)");
    std::uint64_t raw = 0;
    for (std::size_t k = 0; k < size; ++k) {
      const std::size_t byte = encoding_ == Encoding::LittleEndian ? size - 1 - k : k;
      raw = (raw << 8) | static_cast<unsigned char>(bytes_[at_ + byte]);
    }
    at_ += size;
    switch (type) {
      case Type::Int8:
        return static_cast<std::int8_t>(raw);
      case Type::UInt8:
        return static_cast<std::uint8_t>(raw);
      case Type::Int16:
        return static_cast<std::int16_t>(raw);
      case Type::UInt16:
        return static_cast<std::uint16_t>(raw);
      case Type::Int32:
        return static_cast<std::int32_t>(raw);
      case Type::UInt32:
        return static_cast<std::uint32_t>(raw);
      case Type::Float32:
        return std::bit_cast<float>(static_cast<std::uint32_t>(raw));
      case Type::Float64:
        return std::bit_cast<double>(raw);
    }
    return 0.0;
  }

 private:
  double asciiNumber(Type type, const char* what) {
    const int lastLine = line_;
    while (at_ < bytes_.size() && (bytes_[at_] == ' ' || bytes_[at_] == '\t' ||
                                   bytes_[at_] == '\r' || bytes_[at_] == '\n')) {
      if (bytes_[at_] == '\n') ++line_;
      ++at_;
    }
    std::size_t end = at_;
    while (end < bytes_.size() && bytes_[end] != ' ' && bytes_[end] != '\t' &&
           bytes_[end] != '\r' && bytes_[end] != '\n')
      ++end;
    if (end == at_) {
      line_ = lastLine;
      fail(std::string("file ends before ") + what + " (truncated?)");
    }
    std::string_view token(bytes_.data() + at_, end - at_);
    at_ = end;
    if (!token.empty() && token[0] == '+') token.remove_prefix(1);
    double value = 0.0;
    bool ok = false;
    if (isInteger(type)) {
      long long v = 0;
      auto [stop, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
      ok = ec == std::errc() && stop == token.data() + token.size();
      value = static_cast<double>(v);
    } else {
      auto [stop, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
      ok = ec == std::errc() && stop == token.data() + token.size();
    }
    if (!ok)
      fail("'" + std::string(token) + "' is not " + (isInteger(type) ? "an integer" : "a number") +
           " (" + what + ")");
    return value;
  }

  const std::string& bytes_;
  std::size_t at_;
  int line_;
  Encoding encoding_;
  const std::string& file_;
};

/// The fewest bytes one instance of element can take.
std::size_t leastBytes(const Element& element, Encoding encoding) {
  std::size_t least = 0;
  for (const Property& p : element.properties)
    least += encoding == Encoding::Ascii ? 1 : sizeOf(p.list ? p.countType : p.type);
  return least;
}

bool isCorners(const Property& p) { return p.name == "vertex_indices" || p.name == "vertex_index"; }

}  // namespace

RawMesh readPly(const std::string& bytes, const std::string& file) {
  int line = 0;
  std::size_t at = 0;
  auto fail = [&](const std::string& what) -> void {
    throw ImportError(importMessage(file, line, what));
  };
  // The next header line; the header is text whatever the body is.
  auto next = [&]() -> std::string_view {
    if (at >= bytes.size()) {
      fail("file ends inside the header (no 'end_header')");
    }
    const std::size_t end = bytes.find('\n', at);
    const std::size_t stop = end == std::string::npos ? bytes.size() : end;
    std::string_view text(bytes.data() + at, stop - at);
    at = end == std::string::npos ? bytes.size() : end + 1;
    ++line;
    return text;
  };

  if (lineTokens(next()) != std::vector<std::string_view>{"ply"}) fail("expected the header 'ply'");
  std::optional<Encoding> encoding;
  std::vector<Element> elements;
  while (true) {
    const auto w = lineTokens(next());
    if (w.empty()) continue;
    if (w[0] == "end_header") break;
    if (w[0] == "comment" || w[0] == "obj_info") continue;
    if (w[0] == "format") {
      if (encoding) fail("a second 'format' line");
      if (w.size() != 3 || w[2] != "1.0") fail("expected 'format <encoding> 1.0'");
      if (w[1] == "ascii")
        encoding = Encoding::Ascii;
      else if (w[1] == "binary_little_endian")
        encoding = Encoding::LittleEndian;
      else if (w[1] == "binary_big_endian")
        encoding = Encoding::BigEndian;
      else
        fail("unknown encoding '" + std::string(w[1]) + "'");
    } else if (w[0] == "element") {
      long long count = -1;
      if (w.size() != 3) fail("expected 'element <name> <count>'");
      auto [end, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), count);
      if (ec != std::errc() || end != w[2].data() + w[2].size() || count < 0 || count > (1LL << 30))
        fail("the count of element '" + std::string(w[1]) + "' is not a number from 0 to 2^30");
      for (const Element& e : elements)
        if (e.name == w[1]) fail("a second element '" + std::string(w[1]) + "'");
      elements.push_back({std::string(w[1]), count, {}, line});
    } else if (w[0] == "property") {
      if (elements.empty()) fail("a property before any element");
      Property p;
      if (w.size() == 5 && w[1] == "list") {
        const auto countType = typeNamed(w[2]), type = typeNamed(w[3]);
        if (!countType || !type)
          fail("unknown type in '" + std::string(w[2]) + " " + std::string(w[3]) + "'");
        if (!isInteger(*countType)) fail("a list count must have an integer type");
        p = {std::string(w[4]), *type, true, *countType};
      } else if (w.size() == 3) {
        const auto type = typeNamed(w[1]);
        if (!type) fail("unknown type '" + std::string(w[1]) + "'");
        p = {std::string(w[2]), *type, false, Type::UInt8};
      } else {
        fail("expected 'property <type> <name>' or 'property list <type> <type> <name>'");
      }
      elements.back().properties.push_back(std::move(p));
    } else {
      fail("unexpected '" + std::string(w[0]) + "' in the header");
    }
  }
  if (!encoding) fail("the header has no 'format' line");
  const int headerLines = line;

  const Element* vertexElement = nullptr;
  const Element* faceElement = nullptr;
  for (const Element& e : elements) {
    line = e.line;
    if (e.count > 0 && e.properties.empty())
      fail("element '" + e.name + "' has instances but no properties");
    if (e.name == "vertex") {
      vertexElement = &e;
      for (const char* axis : {"x", "y", "z"}) {
        int found = 0;
        for (const Property& p : e.properties)
          if (p.name == axis) {
            if (p.list) fail(std::string("vertex property '") + axis + "' is a list");
            ++found;
          }
        if (found != 1) fail(std::string("the vertex element needs one property '") + axis + "'");
      }
    } else if (e.name == "face") {
      faceElement = &e;
      int found = 0;
      for (const Property& p : e.properties)
        if (isCorners(p)) {
          if (!p.list || !isInteger(p.type)) fail("'" + p.name + "' must be a list of integers");
          ++found;
        }
      if (found != 1) fail("the face element needs one list 'vertex_indices'");
    }
  }
  if (vertexElement == nullptr) fail("the header declares no vertex element");

  // Each instance needs at least its least bytes: a count beyond the file is refused here.
  std::size_t least = 0;
  for (const Element& e : elements) {
    const std::size_t each = leastBytes(e, *encoding);
    if (each > 0 && static_cast<std::uint64_t>(e.count) > (bytes.size() - at) / each) {
      line = e.line;
      fail("element '" + e.name + "' announces " + std::to_string(e.count) +
           " instances, more than the rest of the file can hold (truncated?)");
    }
    least += static_cast<std::size_t>(e.count) * each;
  }
  if (least > bytes.size() - at)
    fail("the elements announce more data than the rest of the file holds (truncated?)");

  RawMesh mesh;
  mesh.vertices.reserve(static_cast<std::size_t>(vertexElement->count));
  const long long vertexCount = vertexElement->count;
  Body body(bytes, at, headerLines + 1, *encoding, file);
  for (const Element& e : elements) {
    for (long long n = 0; n < e.count; ++n) {
      Point p;
      std::vector<int> ring;
      int faceLine = 0;
      for (const Property& prop : e.properties) {
        if (!prop.list) {
          const double v = body.number(prop.type, "a property value");
          if (&e != vertexElement) continue;
          double* axis = prop.name == "x"   ? &p.x
                         : prop.name == "y" ? &p.y
                         : prop.name == "z" ? &p.z
                                            : nullptr;
          if (axis == nullptr) continue;
          if (!std::isfinite(v))
            body.fail("vertex " + std::to_string(n) + " has a coordinate that is not finite");
          *axis = v;
          continue;
        }
        const double count = body.number(prop.countType, "a list count");
        const bool corners = &e == faceElement && isCorners(prop);
        if (corners) faceLine = body.line();
        if (count < 0 || count > static_cast<double>(body.remaining()))
          body.fail("a list announces " + std::to_string(static_cast<long long>(count)) +
                    " entries, more than the rest of the file holds (truncated?)");
        if (corners && count < 3) body.fail("a face needs at least 3 corners");
        for (long long k = 0; k < static_cast<long long>(count); ++k) {
          const double index = body.number(prop.type, "a list entry");
          if (!corners) continue;
          if (index < 0 || index >= static_cast<double>(vertexCount))
            body.fail("vertex index " + std::to_string(static_cast<long long>(index)) +
                      " is out of range (" + std::to_string(vertexCount) + " vertices)");
          ring.push_back(static_cast<int>(index));
        }
      }
      if (&e == vertexElement) mesh.vertices.push_back(p);
      if (&e == faceElement) {
        mesh.faces.push_back(std::move(ring));
        mesh.faceLines.push_back(faceLine);
      }
    }
  }
  return mesh;
}

}  // namespace tessera
