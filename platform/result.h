#pragma once
// How every operation that can fail reports it: a status to branch on and a
// description for the person reading the message.

#include <string>
#include <utility>

namespace korvath::platform {

enum class Status {
  Ok,
  NotFound,        // no such file, directory or value
  Unreadable,      // it exists but could not be read
  NotRegularFile,  // a directory, FIFO or device where a file was wanted
  TooLarge,        // a file above the size Korvath reads
  Invalid,         // read, but its content cannot be used
  Unwritable,      // output that could not be written, e.g. to a full disk
  OutputClosed,    // the reader of the output went away (a closed pipe)
  NoSearchPath,    // a run: pathdef.m could not be turned into directories
  NoStartFile,     // a run: the start file is not on the path or is discarded
  UsageError,      // a command line that cannot be run
  Cancelled,       // stopped by the user
};

struct [[nodiscard]] Result {
  Status status = Status::Ok;
  std::string description;

  static Result Failure(Status status, std::string description) {
    return Result{status, std::move(description)};
  }
  bool ok() const { return status == Status::Ok; }
  explicit operator bool() const { return ok(); }
};

}  // namespace korvath::platform
