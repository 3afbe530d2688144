#include "history/DocumentCopy.h"

#include <algorithm>

#include "base/CoreTypes.h"

namespace sv {

std::unique_ptr<Wave> CopyDocument(Wave& source) {
    auto copy = Wave::CreateEmptyLike(source, source.FrameCount());
    // Not a new processing: the copy keeps the source's chunks as they are.
    copy->Metadata() = source.Metadata();
    copy->SetInfiniteSamples(source.InfiniteSamples());
    FileMemory& from = source.Memory();
    FileMemory& to = copy->Memory();
    Int32Array chunk(static_cast<std::size_t>(FileMemory::HalfWindow));
    const std::int64_t length = from.Length();
    for (std::int64_t i = 0; i < length; i += FileMemory::HalfWindow) {
        const std::int64_t count = std::min(length - i, FileMemory::HalfWindow);
        from.ReadBlock(i, 1, count, chunk.data());
        to.WriteBlock(i, 1, count, chunk.data());
    }
    return copy;
}

}  // namespace sv
