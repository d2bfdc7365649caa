#pragma once

#include <string>

#include "platform/console.h"
#include "search/search_records.h"

namespace tessera {

/// The search's log: every record as its lines, each on the console and then appended to the
/// log file in GBK as one whole record. The lines a run has always shown, in their words and
/// number format, are made here and nowhere else.
class SearchLog final : public SearchObserver {
 public:
  /// Opens the log file for appending; throws InputError ("report2 file open error!") when it
  /// cannot. Never through a symbolic link into a file, which the log would grow; a link to a
  /// device (/dev/null, to keep no log) changes no file.
  SearchLog(platform::Console& console, std::string fileName);
  ~SearchLog() override;
  SearchLog(const SearchLog&) = delete;
  SearchLog& operator=(const SearchLog&) = delete;

  void started(const StartRecord& record) override;
  void iterated(const IterationRecord& record) override;
  void exchanged(const ExchangeRecord& record) override;
  void stopped(SearchStop stop, double timeLimitSeconds) override;
  void finished(const FinishRecord& record) override;

  /// One line to the console, then to the file. A write that fails (a full disk, a file size
  /// limit) is cut back to the last whole record before it is reported, so the log never
  /// ends inside a line or a character. Also for the lines of a run's other search.
  void line(const std::string& utf8);

 private:
  platform::Console& console_;
  std::string fileName_;
  int fd_ = -1;
};

}  // namespace tessera
