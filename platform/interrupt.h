#pragma once

namespace tessera::platform {

/// Ctrl-C during the search: the first SIGINT only raises a flag that the search polls between
/// iterations; the second ends the process at once with status 130 after restoring the
/// terminal. Installing more than once is harmless.
void installInterruptHandler();

/// Whether a SIGINT has arrived since installation or the last clearInterrupt().
bool interruptRequested();

/// A write past the file size limit (RLIMIT_FSIZE) then fails with EFBIG, which the writers
/// report and handle as a full disk, instead of killing the process with SIGXFSZ.
void ignoreFileSizeSignal();

/// Forgets earlier SIGINTs, so the next one counts as the first again.
void clearInterrupt();

}  // namespace tessera::platform
