// Random bytes as the language server's input, read and dispatched as
// korvath-lsp does, over a small project in memory: nothing may crash, hang
// or write anything but whole JSON-RPC messages. The first byte chooses
// whether the input follows an initialize, so the questions are reached.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "lsp/message_reader.h"
#include "lsp/server.h"
#include "tests/support/small_project.h"

namespace {

namespace lsp = korvath::lsp;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

constexpr const char* kInitialize =
    R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"rootUri":"file:///work",)"
    R"("capabilities":{"general":{"positionEncodings":["utf-8"]}}}})";
constexpr const char* kOpen =
    R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":)"
    R"("file:///work/main.m","languageId":"matlab","version":1,"text":"a\nb(1, ...\n c)\n"}}})";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string input;
  if (data[0] & 1) input = lsp::Frame(kInitialize) + lsp::Frame(kOpen);
  input.append(reinterpret_cast<const char*>(data) + 1, size - 1);

  lsp::Server server(
      [](const std::string& body) {
        const lsp::Json message = lsp::Json::parse(body, nullptr, false);
        Check(message.is_object() && message.value("jsonrpc", "") == "2.0");
      },
      [](const korvath::Text&) -> std::unique_ptr<korvath::platform::FileSystem> {
        auto fs = std::make_unique<korvath::testing::MemoryFileSystem>();
        korvath::testing::AddSmallProject(*fs);
        return fs;
      });
  lsp::StringSource in(input);
  const int code = lsp::Serve(in, server);
  Check(code == 0 || code == 1);
  return 0;
}
