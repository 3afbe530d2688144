#include "base/IoError.h"

#include <cerrno>
#include <cstring>

namespace sv {

void ThrowIoError(const std::string& what) { ThrowIoError(what, errno); }

void ThrowIoError(const std::string& what, int errorNumber) {
    throw IoError(what + ": " + std::strerror(errorNumber), errorNumber);
}

bool IsFullOrProtectedMedium(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EFBIG ||
           errorNumber == EROFS;
}

}  // namespace sv
