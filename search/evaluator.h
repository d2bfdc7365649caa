#pragma once

#include "search/optimizer.h"

namespace tessera {

/// The evaluator the options name, or the reference evaluation when they name none.
Evaluator evaluatorOf(const SearchOptions& options);

}  // namespace tessera
