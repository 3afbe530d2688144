#include "history/DocumentCopy.h"

#include <algorithm>

#include "base/CoreTypes.h"

namespace sv {

std::unique_ptr<Wave> CopyDocument(Wave& source) {
    const std::int64_t window = source.Env().StoreWindowValues;
    auto copy = Wave::CreateEmptyLike(source, source.FrameCount(),
                                      FileMemory::CreateInFolder(source.Env().WorkFolder, window));
    // Not a new processing: the copy keeps the source's chunks as they are.
    copy->Metadata() = source.Metadata();
    copy->SetInfiniteSamples(source.InfiniteSamples());
    FileMemory& from = source.Memory();
    FileMemory& to = copy->Memory();
    const std::int64_t piece = window / 2;
    Int32Array chunk(static_cast<std::size_t>(piece));
    const std::int64_t length = from.Length();
    for (std::int64_t i = 0; i < length; i += piece) {
        const std::int64_t count = std::min(length - i, piece);
        from.ReadBlock(i, 1, count, chunk.data());
        to.WriteBlock(i, 1, count, chunk.data());
    }
    to.ReleaseWindow();  // it waits on its swap file until read again
    return copy;
}

}  // namespace sv
