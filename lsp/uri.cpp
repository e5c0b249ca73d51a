#include "lsp/uri.h"

#include "platform/host.h"
#include "platform/host_io.h"
#include "platform/utf8.h"

namespace korvath::lsp {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Text> PathFromUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size()) return std::nullopt;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    const char c = uri[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != kScheme[i]) return std::nullopt;
  }
  uri.remove_prefix(kScheme.size());
  const std::size_t slash = uri.find('/');
  const std::string_view host = uri.substr(0, slash);
  std::string path;
  for (std::size_t i = slash == std::string_view::npos ? uri.size() : slash; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
        HexValue(uri[i + 2]) >= 0) {
      path.push_back(static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2])));
      i += 2;
    } else if (uri[i] == '?' || uri[i] == '#') {
      break;
    } else {
      path.push_back(uri[i]);
    }
  }
  if (path.empty()) return std::nullopt;
  const std::optional<std::string> hostPath = platform::PathOfFileUri(host, std::move(path));
  if (!hostPath) return std::nullopt;
  return platform::FileNameText(*hostPath);
}

std::string UriFromPath(const Text& path) {
  const std::string bytes = platform::FileUriPathOf(platform::FileNameBytesOf(path));
  std::string uri = bytes.rfind("//", 0) == 0 ? "file:" : "file://";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                       u == '-' || u == '.' || u == '_' || u == '~' || u == '/' || u == ':';
    if (plain) {
      uri.push_back(c);
    } else {
      uri.push_back('%');
      uri.push_back(kHex[u >> 4]);
      uri.push_back(kHex[u & 15]);
    }
  }
  return uri;
}

}  // namespace korvath::lsp
