#include "support/outputs.h"

#include <sstream>
#include <utility>

#include "platform/encoding.h"

namespace tessera::test {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string withoutTimes(std::string text) {
  const std::pair<std::string, char> markers[] = {{"Total Computing time =", '\n'},
                                                  {"Pausing time =", '\n'},
                                                  {"Calculating Time:", '\n'},
                                                  {"实际耗费时间:", ','},
                                                  {platform::utf8ToGbk("实际耗费时间:"), ','}};
  for (const auto& [marker, until] : markers) {
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + 1)) {
      const std::size_t from = at + marker.size();
      const std::size_t to = text.find(until, from);
      text.replace(from, (to == std::string::npos ? text.size() : to) - from, "<time>");
    }
  }
  return text;
}

std::vector<std::string> archivedTypeSequences(const std::string& sequenceFile) {
  const std::vector<std::string> lines = linesOf(sequenceFile);
  std::vector<std::string> sequences;
  for (std::size_t i = 0; i + 2 < lines.size(); ++i)
    if (lines[i] == "TypeSequenceForPack") sequences.push_back(lines[i + 2]);
  return sequences;
}

}  // namespace tessera::test
