#pragma once
// Watches what a document's block operations write, for summaries kept outside the document.
#include <cstdint>

namespace sv {

class Wave;

class SampleWriteListener {
  public:
    virtual ~SampleWriteListener() = default;
    // values[i] now stands at raw index rawIndex + i * stride of document. Writes to different
    // channels of one document may be told from different threads at the same time.
    virtual void Written(const Wave& document, std::int64_t rawIndex, std::int64_t stride,
                         const std::int32_t* values, std::int64_t count) = 0;
    // Every value of document may have changed at once (a decoder found its final length).
    virtual void Renewed(Wave& document) = 0;
    // document is being destroyed.
    virtual void Closed(const Wave& document) = 0;
};

}  // namespace sv
