#include "engine/list_writers.h"

#include <string>

#include "engine/buffered_output.h"

namespace korvath::engine {

platform::Result WritePaths(std::FILE* file, const std::vector<Text>& paths) {
  BufferedOutput out(file);
  std::string line;
  for (const Text& path : paths) {
    line.clear();
    AppendText(line, path, Escape::Line);
    out << line << "\n";
  }
  return out.Finish();
}

platform::Result WriteNamedFiles(std::FILE* file, const std::vector<NamedFile>& files, bool json) {
  BufferedOutput out(file);
  std::string line;
  if (json) out << "[";
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (json) {
      out << (i == 0 ? "" : ", ") << "{\"name\": " << JsonString(files[i].name)
          << ", \"file\": " << JsonString(files[i].file) << "}";
    } else {
      line.clear();
      AppendText(line, files[i].name, Escape::Line);
      line.push_back('\t');
      AppendText(line, files[i].file, Escape::Line);
      out << line << "\n";
    }
  }
  if (json) out << "]\n";
  return out.Finish();
}

}  // namespace korvath::engine
