#pragma once
// A hint that `address` will be read soon; nothing where the compiler has
// no way to say it.

namespace korvath::platform {

inline void PrefetchForRead(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#else
  (void)address;
#endif
}

}  // namespace korvath::platform
