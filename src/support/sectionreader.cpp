#include "support/sectionreader.h"

namespace torvane {

bool TSectionReader::Fail(std::string reason) {
  if (failure_ != nullptr) {
    failure_->Reason = std::move(reason);
    failure_->Offset = in_.Position();
  }
  return false;
}

bool TSectionReader::CountFits(int32_t count, std::size_t recordSize, std::size_t available, const char* what) {
  std::string name = std::string("the ") + what + " count " + std::to_string(count);
  if (count < 0) return Fail(name + " is negative");
  uint64_t needed = static_cast<uint64_t>(count) * recordSize;
  if (needed > available) {
    return Fail(name + " needs " + std::to_string(needed) + " bytes, but the file holds only " +
                std::to_string(available) + " after its header");
  }
  return true;
}

}  // namespace torvane
