#pragma once

#include <memory>
#include <vector>

#include "app/arguments.h"
#include "mesh/mesh_manifest.h"
#include "page/search_progress.h"
#include "search/layout_files.h"
#include "search/search_records.h"

namespace tessera {

/// Follows the search's records for the page: the heights of chain 0's iterations and the
/// best of all chains at each meeting.
class PageProgress final : public SearchObserver {
 public:
  void started(const StartRecord& record) override { progress_.start(record.height); }
  void iterated(const IterationRecord& record) override {
    if (record.finished && record.chain == 0)
      progress_.iteration(record.neighbourHeight, record.accepted, record.newBest);
  }
  void exchanged(const ExchangeRecord& record) override { progress_.bestOfAll(record.bestHeight); }

  const SearchProgress& progress() const { return progress_; }

 private:
  SearchProgress progress_;
};

/// Which extras the end of the run writes under their own names: those the start found
/// writable.
struct FinalExtras {
  bool picture = true;
  bool page = true;
};

/// The files a run writes beside each layout's drawing: the picture and the page (unless
/// turned off; the page shows the search so far as progress has followed it) and, with
/// --export, the mesh export with the export's extension, where parts with originals appear
/// as them.
std::vector<ExtraLayoutFile> layoutExtrasFor(
    const Arguments& arguments, const FinalExtras& atEnd = {},
    std::shared_ptr<const PageProgress> progress = nullptr,
    std::shared_ptr<const ExportSources> sources = nullptr);

}  // namespace tessera
