#pragma once
// A copy of a document for commands that change it in place (Delete block): the copy is the
// undo step, taken before the change.
#include <memory>

#include "audio/Wave.h"

namespace sv {

// A new document on its own swap file with source's format, metadata and every store value,
// the silent margins included (later stages read what earlier ones left there). Costs one
// sequential read and write of the whole store and as much free space as the source's swap
// file. Its store's window is released once written, so the copy holds no memory while it
// waits as an undo step. Its overview table is empty: build it before showing the copy. Throws
// IoError.
std::unique_ptr<Wave> CopyDocument(Wave& source);

}  // namespace sv
