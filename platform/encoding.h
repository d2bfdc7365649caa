#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessera::platform {

/// Converts UTF-8 text to GBK (code page 936). Every character without a GBK form, and every
/// malformed UTF-8 sequence (a lead byte with the continuation bytes that follow it, or a stray
/// byte), becomes one '?'; ASCII passes through unchanged.
std::string utf8ToGbk(std::string_view utf8);

/// The length of the well-formed UTF-8 sequence at the start of text (not empty); 0 when
/// there is none.
std::size_t utf8SequenceLength(std::string_view text);

/// Whether text is well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view text);

/// Converts GBK (code page 936) text to UTF-8. A byte that does not start a GBK character
/// becomes U+FFFD; ASCII passes through unchanged.
std::string gbkToUtf8(std::string_view gbk);

/// Text read from a file that may be in either encoding, as UTF-8: well-formed UTF-8 passes
/// unchanged, anything else is read as GBK.
std::string utf8OrGbkToUtf8(std::string_view text);

/// A message that should be UTF-8 but may hold GBK bytes (a name put in as read), as UTF-8:
/// well-formed UTF-8 sequences stay, and what is not one is read as a GBK character (a lead
/// byte with its trail byte) or a stray byte. Text that is UTF-8 throughout is unchanged.
std::string mixedToUtf8(std::string_view text);

/// A name, path or line of a file as it goes into a message. Such bytes come from files and
/// the command line in GBK or in UTF-8; messages are UTF-8, which the console converts for its
/// device, so a GBK console shows the name in GBK and a UTF-8 console in UTF-8.
inline std::string messageText(std::string_view bytes) { return utf8OrGbkToUtf8(bytes); }

/// Whether a character set name (as nl_langinfo(CODESET) reports it) is one of the GB family:
/// GBK, GB2312, GB18030, EUC-CN or CP936, in any letter case.
bool isGbCodeset(std::string_view codeset);

/// Whether the user's locale (LC_CTYPE from the environment) uses a GB character set.
/// The C/POSIX locale counts as UTF-8, so the answer there is false.
bool localeUsesGb();

}  // namespace tessera::platform
