#pragma once
// A registry with no keys at all, for hosts that have none.

#include "platform/registry.h"

namespace korvath::platform {

class NullRegistry final : public Registry {
 public:
  RegStatus OpenKey(RegHandle root, const std::u16string& subKey, std::uint32_t access,
                    RegHandle& key) override;
  RegStatus QueryValue(RegHandle key, const std::u16string& valueName, std::uint32_t& type,
                       unsigned char* data, std::uint32_t& size) override;
  RegStatus CloseKey(RegHandle key) override;
};

}  // namespace korvath::platform
