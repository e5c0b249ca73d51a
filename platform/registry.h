#pragma once
// The three registry calls the About box needs (open a key, query one value,
// close the key), behind an interface so that tests can supply a registry
// and hosts without one can supply an empty one. The calls keep the shape of
// the Windows API: result codes instead of exceptions, and the value's data
// written into a buffer the caller provides.

#include <cstdint>
#include <string>

namespace korvath::platform {

using RegHandle = std::uintptr_t;
using RegStatus = long;

// Predefined root key, with the value Windows gives it.
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;

// Result codes.
inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorMoreData = 234;

// Value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// Access rights: KEY_READ, all that reading a value needs.
inline constexpr std::uint32_t kKeyRead = 0x20019;

class Registry {
 public:
  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;
  virtual ~Registry() = default;

  // Opens the key `subKey` below `root`. On success stores the new key's
  // handle in `key` and returns kErrorSuccess; otherwise returns another code
  // and leaves `key` alone.
  virtual RegStatus OpenKey(RegHandle root, const std::u16string& subKey, std::uint32_t access,
                            RegHandle& key) = 0;

  // Reads the value `valueName` of an open key into `data`, which holds
  // `size` bytes. On success stores the value's type and the number of bytes
  // written in `type` and `size`. When the data do not fit, returns
  // kErrorMoreData and stores the size needed in `size`. String data are in
  // the system's ANSI code page, normally ending in a zero byte.
  virtual RegStatus QueryValue(RegHandle key, const std::u16string& valueName, std::uint32_t& type,
                               unsigned char* data, std::uint32_t& size) = 0;

  virtual RegStatus CloseKey(RegHandle key) = 0;
};

}  // namespace korvath::platform
