#include "tessary/frame/Serialization.h"

namespace Tessary {

int ReadElementCount(CArchive& ar, std::uint64_t minBytesPerElement) {
    std::int32_t count;
    ar >> count;
    if (count < 0) throw CArchiveException(CArchiveException::badCount);
    ar.CheckAvailable(static_cast<std::uint64_t>(count), minBytesPerElement);
    return count;
}

}  // namespace Tessary
