#include "audio/SampleEncoding.h"

namespace sv {

const char* EncodingName(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Unsigned8:
            return "PCM 8-bit";
        case SampleEncoding::Signed16:
            return "PCM 16-bit";
        case SampleEncoding::Signed24:
            return "PCM 24-bit";
        case SampleEncoding::Signed32:
            return "PCM 32-bit";
        case SampleEncoding::Float32:
            return "float 32-bit";
    }
    return "unknown";
}

}  // namespace sv
