#pragma once
// Windows-1252, the ANSI code page Korvath reads text in when it is not UTF-8.

#include <string>
#include <string_view>

namespace korvath::platform {

// One byte as UTF-16. The five unassigned bytes map to the C1 control of the
// same value, as Windows itself maps them.
char16_t Windows1252ToUnit(unsigned char byte);

// Bytes of Windows-1252 text into `text`, one unit per byte.
void DecodeWindows1252(std::string_view bytes, std::u16string& text);

}  // namespace korvath::platform
