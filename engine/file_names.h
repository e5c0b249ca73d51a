#pragma once
// The distinct names one file uses, each with its lines, in the order of
// their first use. Most names of a file are used again and again (help
// lines, local variables): a table keyed on the name's bytes takes the
// repeats, so that what the names are filed in afterwards meets each name
// once a file. The names stay from file to file, each with a number its
// owner gives it (its id in the owner's table), so that the owner looks a
// name up only the first time it meets it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/call_extraction.h"
#include "engine/text.h"

namespace korvath::engine {

class FileNames final : public CallRecorder {
 public:
  FileNames();

  void AddCall(TextView name, std::int32_t line) override;
  void AddCalls(const TextView* names, std::size_t count, std::int32_t line) override;
  void AddAsciiCalls(const std::string_view* names, std::size_t count, std::int32_t line) override;
  bool TakesAscii() const override { return true; }

  // Starts the next file: no name is used in it yet.
  void NextFile();
  // Forgets every name, and their ids.
  void Forget();

  // One name of the file: its units are ASCII bytes (`Bytes`) unless it has
  // a unit past ASCII (`Wide`).
  struct Name {
    std::uint32_t offset;  // in the bytes or in the wide units
    std::uint32_t size;
    std::int32_t linesHead;  // first node of its lines
    std::int32_t lineNodes;  // nodes in its list
    std::int32_t linesTail;
    std::uint32_t slot;  // its slot in the table
    std::uint32_t file;  // the last file it was used in: its lines are that file's
    std::int32_t id;     // its owner's number for it, kNoId until given one
    bool wide;
    bool number;  // reads as a number: never in the order, never with lines
  };
  static constexpr std::int32_t kNoId = -1;
  void SetId(std::uint32_t index, std::int32_t id) { names_[index].id = id; }
  // A line and how many times more it is listed straight after itself.
  struct LineNode {
    std::int32_t line;
    std::int32_t repeats;
    std::int32_t next;  // -1 at the end
  };

  // The current file's names, in the order of their first use.
  const std::vector<std::uint32_t>& Order() const { return order_; }
  const Name& At(std::uint32_t i) const { return names_[i]; }
  std::string_view Bytes(const Name& name) const {
    return std::string_view(bytes_).substr(name.offset, name.size);
  }
  TextView Wide(const Name& name) const { return TextView(wide_).substr(name.offset, name.size); }
  const LineNode& Node(std::int32_t i) const { return nodes_[static_cast<std::size_t>(i)]; }
  std::size_t NameCount() const { return names_.size(); }

 private:
  // The key of a name: its length and its bytes, which determine a name of
  // up to sixteen bytes; a longer one is compared in full on a match.
  struct Key {
    std::uint64_t w0;
    std::uint64_t w1;
    std::uint64_t hash;
    std::uint32_t size;  // the length, with kWideKey for a wide name
  };
  struct Slot {
    std::uint64_t w0;
    std::uint64_t w1;
    std::uint32_t size;
    std::uint32_t namePlus1;  // 0: empty
  };
  static constexpr std::uint32_t kWideKey = 0x80000000U;

  static void KeyOf(std::string_view bytes, std::uint32_t tag, Key& key);
  static std::uint64_t MiddleHash(const char* p, std::size_t n);
  void AddBytes(std::string_view name, std::uint32_t tag, std::int32_t line);
  bool SameLong(std::uint32_t index, std::string_view name) const;
  void Use(std::uint32_t index, std::int32_t line);
  std::uint32_t NewName(std::string_view name, std::uint32_t tag, const Key& key, std::size_t slot);
  void FirstUse(Name& name, std::uint32_t index, std::int32_t line);
  void Grow();

  std::vector<Slot> slots_;
  unsigned shift_;  // 64 less the bits of a slot's number
  std::vector<Name> names_;
  std::vector<LineNode> nodes_;
  std::vector<std::uint32_t> order_;
  std::string bytes_;   // the names of bytes, end to end
  Text wide_;           // the wide names, end to end
  std::string narrow_;  // a UTF-16 name of ASCII units, as bytes
  std::uint32_t file_ = 1;
};

}  // namespace korvath::engine
