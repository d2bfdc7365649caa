#pragma once

#include <memory>

#include "page/search_progress.h"
#include "platform/console.h"

namespace tessera {

/// A console that passes everything to another one and lets a SearchProgressReader follow
/// what is written to standard output, so the page can show this run's search.
class ProgressConsole final : public platform::Console {
 public:
  ProgressConsole(platform::Console& inner, std::shared_ptr<SearchProgressReader> reader)
      : inner_(inner), reader_(std::move(reader)) {}

  void write(std::string_view utf8) override {
    reader_->consume(utf8);
    inner_.write(utf8);
  }
  void writeError(std::string_view utf8) override { inner_.writeError(utf8); }
  bool readInt(int& value) override { return inner_.readInt(value); }
  bool readToken(std::string& token) override { return inner_.readToken(token); }
  bool readLine(std::string& text) override { return inner_.readLine(text); }
  void waitForKey() override { inner_.waitForKey(); }
  bool keyWaiting() override { return inner_.keyWaiting(); }
  int readKey() override { return inner_.readKey(); }
  bool interactive() const override { return inner_.interactive(); }
  void warning(std::string_view text) override { inner_.warning(text); }

 private:
  platform::Console& inner_;
  std::shared_ptr<SearchProgressReader> reader_;
};

}  // namespace tessera
