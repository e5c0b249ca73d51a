#include "engine/buffered_output.h"

#include "platform/utf8.h"

namespace korvath::engine {
namespace {

constexpr char kHex[] = "0123456789abcdef";

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

void AppendHex(std::string& out, char c) {
  out.push_back(kHex[(c >> 4) & 0xF]);
  out.push_back(kHex[c & 0xF]);
}

void AppendAscii(std::string& out, char c, Escape escape) {
  switch (escape) {
    case Escape::Line:
      if (IsControl(c)) {
        out += "\\x";
        AppendHex(out, c);
      } else {
        out.push_back(c);
      }
      return;
    case Escape::Json:
      switch (c) {
        case '"':
          out += "\\\"";
          return;
        case '\\':
          out += "\\\\";
          return;
        case '\n':
          out += "\\n";
          return;
        case '\r':
          out += "\\r";
          return;
        case '\t':
          out += "\\t";
          return;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            out += "\\u00";
            AppendHex(out, c);
          } else {
            out.push_back(c);
          }
          return;
      }
    case Escape::Dot:
      // "\\x1b" in DOT is the text "\x1b" in the picture.
      if (IsControl(c)) {
        out += "\\\\x";
        AppendHex(out, c);
        return;
      }
      if (c == '"' || c == '\\') out.push_back('\\');
      out.push_back(c);
      return;
  }
}

}  // namespace

void AppendText(std::string& out, TextView text, Escape escape) {
  // A line keeps a file name's bytes as they are; JSON and DOT must be UTF-8.
  platform::AppendUtf16AsUtf8(
      out, text, [escape](std::string& o, char c) { AppendAscii(o, c, escape); },
      escape == Escape::Line);
}

std::string LineText(TextView text) {
  std::string out;
  AppendText(out, text, Escape::Line);
  return out;
}

std::string JsonString(TextView text) {
  std::string out = "\"";
  AppendText(out, text, Escape::Json);
  out.push_back('"');
  return out;
}

}  // namespace korvath::engine
