#include "platform/null_registry.h"

namespace korvath::platform {

RegStatus NullRegistry::OpenKey(RegHandle, const std::u16string&, std::uint32_t, RegHandle&) {
  return kErrorFileNotFound;
}

// No key is ever opened, so every handle is invalid.
RegStatus NullRegistry::QueryValue(RegHandle, const std::u16string&, std::uint32_t&, unsigned char*,
                                   std::uint32_t&) {
  return kErrorInvalidHandle;
}

RegStatus NullRegistry::CloseKey(RegHandle) { return kErrorInvalidHandle; }

}  // namespace korvath::platform
