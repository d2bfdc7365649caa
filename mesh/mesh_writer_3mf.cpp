#include "mesh/mesh_writer_3mf.h"

#include <zip.h>

#include <array>
#include <cstdint>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "formats/number_format.h"
#include "formats/part_name.h"

namespace tessera {

namespace {

// 1980-01-01 00:00:00, the earliest time a zip entry can hold. Set as DOS fields directly: a
// time_t would pass through the local time zone and differ between machines.
constexpr std::uint16_t kFixedDosTime = 0;
constexpr std::uint16_t kFixedDosDate = (0 << 9) | (1 << 5) | 1;

constexpr const char* kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n"
    " <Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>\n"
    " <Default Extension=\"model\" "
    "ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>\n"
    "</Types>\n";

constexpr const char* kRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
    " <Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>\n"
    "</Relationships>\n";

/// The text as the value of a double-quoted XML attribute.
std::string xmlAttribute(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const std::size_t length = utf8SequenceLength(std::string_view(text).substr(at));
    if (length == 0 || (length == 1 && static_cast<unsigned char>(c) < 0x20)) {
      out += '?';  // not UTF-8, or a control character XML cannot hold
      at += 1;
      continue;
    }
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out;
}

/// Throws the failure with libzip's words for it, releasing what the error holds.
[[noreturn]] void zipFailure(const std::string& what, zip_error_t* error) {
  const std::string message = what + ": " + zip_error_strerror(error);
  zip_error_fini(error);
  throw std::runtime_error(message);
}

/// The whole content of a closed libzip source.
std::string sourceBytes(zip_source_t* source) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_source_stat(source, &stat) < 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
      zip_source_open(source) < 0)
    throw std::runtime_error("cannot read the zip archive back from memory");
  std::string bytes(static_cast<std::size_t>(stat.size), '\0');
  const zip_int64_t read = zip_source_read(source, bytes.data(), stat.size);
  zip_source_close(source);
  if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size)
    throw std::runtime_error("cannot read the zip archive back from memory");
  return bytes;
}

}  // namespace

void write3mfModel(std::ostream& out, const std::vector<MeshObject>& objects) {
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<model unit=\"millimeter\" xml:lang=\"en-US\" "
         "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
         " <resources>\n";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const MeshObject& object = objects[i];
    out << "  <object id=\"" << i + 1 << "\" name=\"" << xmlAttribute(object.name)
        << "\" type=\"model\">\n"
           "   <mesh>\n"
           "    <vertices>\n";
    for (const Point& v : object.vertices)
      out << "     <vertex x=\"" << formatExactNumber(v.x) << "\" y=\"" << formatExactNumber(v.y)
          << "\" z=\"" << formatExactNumber(v.z) << "\"/>\n";
    out << "    </vertices>\n"
           "    <triangles>\n";
    for (const std::array<int, 3>& t : triangles(object))
      out << "     <triangle v1=\"" << t[0] << "\" v2=\"" << t[1] << "\" v3=\"" << t[2] << "\"/>\n";
    out << "    </triangles>\n"
           "   </mesh>\n"
           "  </object>\n";
  }
  out << " </resources>\n"
         " <build>\n";
  for (std::size_t i = 0; i < objects.size(); ++i)
    out << "  <item objectid=\"" << i + 1 << "\"/>\n";
  out << " </build>\n"
         "</model>\n";
}

std::string threeMfPackage(const std::vector<MeshObject>& objects) {
  std::ostringstream model;
  model.imbue(std::locale::classic());
  write3mfModel(model, objects);
  return threeMfPackage(std::move(model).str());
}

std::string threeMfPackage(std::string model) {
  // The archive keeps pointers into these until it is closed.
  const std::array<PackagePart, 3> parts{{{"[Content_Types].xml", kContentTypes},
                                          {"_rels/.rels", kRelationships},
                                          {k3mfModelPath, std::move(model)}}};

  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (buffer == nullptr) zipFailure("cannot start a zip archive", &error);
  zip_source_keep(buffer);  // outlives the archive: its bytes are the result
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (archive == nullptr) {
    zip_source_free(buffer);
    zipFailure("cannot start a zip archive", &error);
  }
  for (const PackagePart& part : parts) {
    zip_source_t* source = zip_source_buffer(archive, part.bytes.data(), part.bytes.size(), 0);
    const zip_int64_t index =
        source == nullptr ? -1 : zip_file_add(archive, part.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0 ||
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9) <
            0 ||
        zip_file_set_dostime(archive, static_cast<zip_uint64_t>(index), kFixedDosTime,
                             kFixedDosDate, 0) < 0) {
      if (source != nullptr && index < 0) zip_source_free(source);
      zip_error_set(&error, zip_error_code_zip(zip_get_error(archive)), 0);
      zip_discard(archive);
      zip_source_free(buffer);
      zipFailure("cannot add " + part.name + " to the zip archive", &error);
    }
  }
  if (zip_close(archive) < 0) {
    zip_error_set(&error, zip_error_code_zip(zip_get_error(archive)), 0);
    zip_discard(archive);
    zip_source_free(buffer);
    zipFailure("cannot write the zip archive", &error);
  }
  std::string bytes;
  try {
    bytes = sourceBytes(buffer);
  } catch (...) {
    zip_source_free(buffer);
    throw;
  }
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

std::vector<PackagePart> readZipPackage(const std::string& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (source == nullptr) zipFailure("cannot read the zip archive", &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (archive == nullptr) {
    zip_source_free(source);
    zipFailure("not a zip archive", &error);
  }
  std::vector<PackagePart> parts;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t stat;
    zip_stat_init(&stat);
    zip_file_t* file = nullptr;
    bool ok = zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_NAME) &&
              (stat.valid & ZIP_STAT_SIZE);
    PackagePart part;
    if (ok) {
      part.name = stat.name;
      part.bytes.resize(static_cast<std::size_t>(stat.size));
      file = zip_fopen_index(archive, index, 0);
      ok = file != nullptr &&
           zip_fread(file, part.bytes.data(), stat.size) == static_cast<zip_int64_t>(stat.size);
      if (file != nullptr) ok = zip_fclose(file) == 0 && ok;  // checks the CRC
    }
    if (!ok) {
      zip_error_set(&error, zip_error_code_zip(zip_get_error(archive)), 0);
      zip_discard(archive);
      zipFailure("damaged zip archive entry", &error);
    }
    parts.push_back(std::move(part));
  }
  zip_discard(archive);  // read only: nothing to write
  zip_error_fini(&error);
  return parts;
}

}  // namespace tessera
