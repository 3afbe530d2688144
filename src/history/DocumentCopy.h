#pragma once
// A copy of a document for commands that change it in place (Delete block): the copy is the
// undo step, taken before the change.
#include <memory>

#include "audio/Wave.h"

namespace sv {

// A new document on its own swap file with source's format, metadata and every store value,
// the silent margins included (later stages read what earlier ones left there). Costs one
// sequential read and write of the whole store and as much free space as the source's swap
// file. Its overview table is empty: build it before showing the copy. Throws IoError.
std::unique_ptr<Wave> CopyDocument(Wave& source);

// The in-memory window of a copy's store, in values: half a document's (2 MiB). A copy given
// back by an undo is processed again, and its window must still hold the hops that two channel
// threads walk apart.
inline constexpr std::int64_t CopyWindowValues = FileMemory::WindowValues / 2;

}  // namespace sv
