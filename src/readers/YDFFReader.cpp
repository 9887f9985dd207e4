#include "readers/YDFFReader.h"

namespace fluvex {

OpenStatus YDFFReader::Open(const std::filesystem::path& /*path*/) {
    Close();
    return OpenStatus::Unsupported;
}

}  // namespace fluvex
