#include "engine/file_names.h"

#include <cstring>
#include <limits>

#include "engine/byte_loads.h"
#include "engine/number_text.h"

namespace korvath::engine {
namespace {

constexpr std::size_t kInitialSlots = 1024;
constexpr unsigned kInitialShift = 64 - 10;
constexpr std::size_t kShortKey = 16;

bool IsAsciiUnits(TextView name) {
  char16_t any = 0;
  for (const char16_t c : name) any |= c;
  return any < 0x80;
}

}  // namespace

FileNames::FileNames() : slots_(kInitialSlots, Slot{}), shift_(kInitialShift) {}

void FileNames::NextFile() {
  nodes_.clear();
  order_.clear();
  if (++file_ == 0) {
    // After four billion files: no name may seem used in this one.
    for (Name& name : names_) name.file = 0;
    file_ = 1;
  }
}

void FileNames::Forget() {
  for (const Name& name : names_) slots_[name.slot].namePlus1 = 0;
  names_.clear();
  bytes_.clear();
  wide_.clear();
  NextFile();
}

// The middle bytes of a name longer than sixteen, folded into its hash.
std::uint64_t FileNames::MiddleHash(const char* p, std::size_t n) {
  std::uint64_t h = 0;
  for (std::size_t i = 8; i + 8 < n; i += 8) h = (h ^ Load64(p + i)) * 0xFF51AFD7ED558CCDULL;
  return h;
}

// Two overlapping loads cover any length from 4 to 16 bytes (three single
// bytes one of 1 to 3); with the length they tell the name apart without
// reading past its end. The slot is taken from the hash's top bits, the
// best mixed.
void FileNames::KeyOf(std::string_view bytes, std::uint32_t tag, Key& key) {
  const char* p = bytes.data();
  const std::size_t n = bytes.size();
  std::uint64_t w0 = 0;
  std::uint64_t w1 = 0;
  if (n >= 8) {
    w0 = Load64(p);
    w1 = Load64(p + n - 8);
  } else if (n >= 4) {
    w0 = Load32(p) | Load32(p + n - 4) << 32;
  } else {
    w0 = static_cast<std::uint64_t>(static_cast<unsigned char>(p[0])) |
         static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8 |
         static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16;
  }
  key.w0 = w0;
  key.w1 = w1;
  key.size = static_cast<std::uint32_t>(n) | tag;
  const std::uint64_t mixed = n > kShortKey ? w1 ^ MiddleHash(p, n) : w1;
  key.hash = ((w0 + key.size) * 0x9E3779B97F4A7C15ULL + mixed) * 0xD6E8FEB86659FD93ULL;
}

void FileNames::AddAsciiCalls(const std::string_view* names, std::size_t count, std::int32_t line) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!names[i].empty()) AddBytes(names[i], 0, line);
  }
}

void FileNames::AddCalls(const TextView* names, std::size_t count, std::int32_t line) {
  for (std::size_t i = 0; i < count; ++i) AddCall(names[i], line);
}

// A UTF-16 name of ASCII units is the same name as its bytes; any other is
// keyed on its units' bytes, marked, so that it never meets a name of bytes.
void FileNames::AddCall(TextView name, std::int32_t line) {
  if (name.empty()) return;
  if (IsAsciiUnits(name)) {
    narrow_.resize(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) narrow_[i] = static_cast<char>(name[i]);
    AddBytes(narrow_, 0, line);
  } else {
    AddBytes(std::string_view(reinterpret_cast<const char*>(name.data()),
                              name.size() * sizeof(char16_t)),
             kWideKey, line);
  }
}

void FileNames::AddBytes(std::string_view name, std::uint32_t tag, std::int32_t line) {
  Key key;
  KeyOf(name, tag, key);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(key.hash >> shift_);; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.namePlus1 == 0) {
      Use(NewName(name, tag, key, i), line);
      return;
    }
    if (slot.size == key.size && slot.w0 == key.w0 && slot.w1 == key.w1 &&
        (name.size() <= kShortKey || SameLong(slot.namePlus1 - 1, name))) {
      Use(slot.namePlus1 - 1, line);
      return;
    }
  }
}

bool FileNames::SameLong(std::uint32_t index, std::string_view name) const {
  const Name& found = names_[index];
  const char* stored = found.wide ? reinterpret_cast<const char*>(wide_.data() + found.offset)
                                  : bytes_.data() + found.offset;
  return std::memcmp(stored, name.data(), name.size()) == 0;
}

std::uint32_t FileNames::NewName(std::string_view name, std::uint32_t tag, const Key& key,
                                 std::size_t slot) {
  const auto index = static_cast<std::uint32_t>(names_.size());
  Name added{};
  added.wide = tag != 0;
  added.linesHead = -1;
  added.linesTail = -1;
  if (added.wide) {
    added.offset = static_cast<std::uint32_t>(wide_.size());
    added.size = static_cast<std::uint32_t>(name.size() / sizeof(char16_t));
    const std::size_t at = wide_.size();
    wide_.resize(at + added.size);
    std::memcpy(wide_.data() + at, name.data(), name.size());
    added.number = ReadsAsNumber(Wide(added));
  } else {
    added.offset = static_cast<std::uint32_t>(bytes_.size());
    added.size = static_cast<std::uint32_t>(name.size());
    bytes_.append(name);
    added.number = ReadsAsNumber(name);
  }
  added.slot = static_cast<std::uint32_t>(slot);
  added.file = 0;
  added.id = kNoId;
  names_.push_back(added);
  slots_[slot] = Slot{key.w0, key.w1, key.size, index + 1};
  if (2 * names_.size() > slots_.size()) Grow();
  return index;
}

// A name used again on the line it was last used on counts on that line's
// node; the common case, kept short.
void FileNames::Use(std::uint32_t index, std::int32_t line) {
  Name& name = names_[index];
  if (name.file == file_ && !name.number) {
    LineNode& tail = nodes_[static_cast<std::size_t>(name.linesTail)];
    if (tail.line == line && tail.repeats < std::numeric_limits<std::int32_t>::max()) {
      ++tail.repeats;
      return;
    }
  }
  FirstUse(name, index, line);
}

void FileNames::FirstUse(Name& name, std::uint32_t index, std::int32_t line) {
  if (name.number) return;
  const auto node = static_cast<std::int32_t>(nodes_.size());
  nodes_.push_back(LineNode{line, 0, -1});
  if (name.file != file_) {
    name.file = file_;
    name.linesHead = node;
    name.lineNodes = 0;
    order_.push_back(index);
  } else {
    nodes_[static_cast<std::size_t>(name.linesTail)].next = node;
  }
  name.linesTail = node;
  ++name.lineNodes;
}

void FileNames::Grow() {
  std::vector<Slot> old(slots_.size() * 2, Slot{});
  old.swap(slots_);
  --shift_;
  const std::size_t mask = slots_.size() - 1;
  for (Name& name : names_) {
    Key key;
    const std::string_view bytes =
        name.wide ? std::string_view(reinterpret_cast<const char*>(wide_.data() + name.offset),
                                     name.size * sizeof(char16_t))
                  : Bytes(name);
    KeyOf(bytes, name.wide ? kWideKey : 0, key);
    std::size_t i = static_cast<std::size_t>(key.hash >> shift_);
    while (slots_[i].namePlus1 != 0) i = (i + 1) & mask;
    slots_[i] = old[name.slot];
    name.slot = static_cast<std::uint32_t>(i);
  }
}

}  // namespace korvath::engine
