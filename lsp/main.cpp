// korvath-lsp: the language server over standard input and output. A
// reader thread takes messages off the input as they come, so that a
// $/cancelRequest reaches the request it cancels while that one runs.

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "lsp/message_reader.h"
#include "lsp/server.h"
#include "lsp/version.h"
#include "platform/host_file_system.h"
#include "platform/host_io.h"

namespace {

using korvath::lsp::MessageReader;

class StdinSource final : public korvath::lsp::ByteSource {
 public:
  // What the pipe holds now: fread would wait for a full buffer.
  std::size_t Read(char* into, std::size_t most) override {
    return korvath::platform::ReadStandardInput(into, most);
  }
};

struct Queue {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<std::pair<MessageReader::Outcome, std::string>> items;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("korvath-lsp %s\n", KORVATH_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--stdio") != 0) {
      std::fprintf(stderr,
                   "usage: korvath-lsp [--stdio]\n"
                   "A language server for MATLAB code over standard input and output.\n");
      return 2;
    }
  }
  // The protocol counts bytes: no CR may be added or taken away.
  korvath::platform::UseBinaryStandardStreams();

  korvath::lsp::Server server(
      [](const std::string& body) {
        const std::string framed = korvath::lsp::Frame(body);
        std::fwrite(framed.data(), 1, framed.size(), stdout);
        std::fflush(stdout);
      },
      [](const korvath::Text& folder) {
        return folder.empty() ? std::make_unique<korvath::platform::HostFileSystem>()
                              : std::make_unique<korvath::platform::HostFileSystem>(folder);
      });

  Queue queue;
  std::thread reader([&] {
    StdinSource in;
    MessageReader messages(in);
    while (true) {
      std::string body;
      const MessageReader::Outcome outcome = messages.Next(body);
      // Seen here, not in turn: the request it names may be running.
      if (outcome == MessageReader::Outcome::Message &&
          body.find("$/cancelRequest") != std::string::npos) {
        const korvath::lsp::Json message = korvath::lsp::Json::parse(body, nullptr, false);
        if (message.is_object() && message.value("method", "") == "$/cancelRequest" &&
            message.contains("params") && message["params"].is_object() &&
            message["params"].contains("id")) {
          server.Cancel(message["params"]["id"].dump());
        }
      }
      {
        const std::lock_guard<std::mutex> lock(queue.mutex);
        queue.items.emplace_back(outcome, std::move(body));
      }
      queue.ready.notify_one();
      if (outcome == MessageReader::Outcome::End) return;
    }
  });
  reader.detach();

  while (!server.exited()) {
    std::pair<MessageReader::Outcome, std::string> item;
    {
      std::unique_lock<std::mutex> lock(queue.mutex);
      queue.ready.wait(lock, [&] { return !queue.items.empty(); });
      item = std::move(queue.items.front());
      queue.items.pop_front();
    }
    server.Receive(item.first, item.second);
  }
  std::fflush(stdout);
  // The reader may be blocked on the input still; nothing is left to tidy.
  std::_Exit(server.exitCode());
}
