#pragma once
// Results of one batch that would land on each other or on an input: found before any work, so
// that no file of the run replaces another's input or result.
#include <vector>

#include "cli/BatchCommand.h"

namespace sv::cli {

// Gives every item that must not run its reason, in list order: an input listed again, a result
// whose name an earlier item already takes, and when results replace existing files, one that
// would replace another input of the batch (without that, an existing result is only reported
// as existing). A result that replaces its own input (--overwrite into the source folder) is no
// clash.
void MarkOutputClashes(std::vector<BatchItem>& items, bool replacing);

}  // namespace sv::cli
