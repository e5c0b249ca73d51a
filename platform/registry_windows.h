#pragma once
// The Windows registry, read-only. String values are read in full through the
// wide calls and handed over in the system's ANSI code page, as the
// interface promises.

#include "platform/registry.h"

namespace korvath::platform {

class WindowsRegistry final : public Registry {
 public:
  RegStatus OpenKey(RegHandle root, const std::u16string& subKey,
                    std::uint32_t access, RegHandle& key) override;
  RegStatus QueryValue(RegHandle key, const std::u16string& valueName,
                       std::uint32_t& type, unsigned char* data,
                       std::uint32_t& size) override;
  RegStatus CloseKey(RegHandle key) override;
};

}  // namespace korvath::platform
