#include "platform/encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <initializer_list>
#include <string>

namespace tessera::platform {
namespace {

constexpr char kReplacement = '?';

bool isContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

/// How many bytes at the start of text make one character: a well-formed UTF-8 sequence, or
/// a valid lead byte with the continuation bytes that follow it, or else a single byte.
std::size_t characterLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  std::size_t taken = 1;
  while (taken < length && taken < text.size() && isContinuation(text[taken])) ++taken;
  return taken;
}

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle() const { return handle_; }

 private:
  iconv_t handle_;
};

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
  }
  return true;
}

/// Converts text with iconv. Where the converter stops at something it cannot convert (EILSEQ,
/// or EINVAL for a truncated end), replacement is written and the characterLength(rest) bytes
/// there are skipped. Without a converter only ASCII passes, every other character becomes
/// replacement.
std::string convertAll(const char* to, const char* from, std::string_view text,
                       std::string_view replacement,
                       std::size_t (*characterLength)(std::string_view)) {
  std::string out;
  Converter converter(to, from);
  if (!converter.valid()) {
    for (std::size_t i = 0; i < text.size(); i += characterLength(text.substr(i))) {
      if (static_cast<unsigned char>(text[i]) < 0x80)
        out.push_back(text[i]);
      else
        out += replacement;
    }
    return out;
  }

  out.reserve(text.size());
  char buffer[256];
  std::size_t position = 0;
  while (position < text.size()) {
    char* in = const_cast<char*>(text.data() + position);
    std::size_t inLeft = text.size() - position;
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter.handle(), &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    position = text.size() - inLeft;
    if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    out += replacement;
    position += characterLength(text.substr(position));
  }
  return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) {
  // An unmappable or malformed character becomes one '?'.
  return convertAll("GBK", "UTF-8", utf8, std::string_view(&kReplacement, 1), characterLength);
}

std::size_t utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // shorter forms
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (length > text.size() || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (!isContinuation(text[k])) return 0;
  }
  return length;
}

bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceLength(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string gbkToUtf8(std::string_view gbk) {
  // A byte that starts no GBK character becomes U+FFFD, and decoding goes on after it.
  return convertAll("UTF-8", "GBK", gbk, "\xEF\xBF\xBD",
                    [](std::string_view) -> std::size_t { return 1; });
}

std::string utf8OrGbkToUtf8(std::string_view text) {
  return isUtf8(text) ? std::string(text) : gbkToUtf8(text);
}

std::string mixedToUtf8(std::string_view text) {
  if (isUtf8(text)) return std::string(text);
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8SequenceLength(text.substr(i));
    if (length > 0) {
      out.append(text.substr(i, length));
    } else {
      const auto lead = static_cast<unsigned char>(text[i]);
      const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
      const bool pair = lead >= 0x81 && lead <= 0xFE &&
                        ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE));
      length = pair ? 2 : 1;
      out += gbkToUtf8(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

bool isGbCodeset(std::string_view codeset) {
  for (std::string_view name : {"GBK", "GB2312", "GB18030", "EUC-CN", "CP936"}) {
    if (equalsIgnoringCase(codeset, name)) return true;
  }
  return false;
}

bool localeUsesGb() {
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && isGbCodeset(codeset);
}

}  // namespace tessera::platform
