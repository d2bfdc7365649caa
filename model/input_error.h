#pragma once

#include <stdexcept>
#include <string>

namespace tessera {

/// Bad input (a file, a parameter, an answer). Thrown where it is found, with the file and
/// line in the message; the entry turns it into the report and exit status 1.
class InputError : public std::runtime_error {
 public:
  /// How the report is shown: as the "Warning!" box, or as a line on standard error.
  enum class Channel { WarningBox, StandardError };

  explicit InputError(const std::string& message, Channel channel = Channel::WarningBox)
      : std::runtime_error(message), channel_(channel) {}

  Channel channel() const { return channel_; }

 private:
  Channel channel_;
};

}  // namespace tessera
