#pragma once

namespace qef {

enum class CopyResult { kDone, kReadError, kWriteError };

// How the parts of a copy report failure, the one way: the part that fails notes which side
// failed and answers false; the record loop stops at the first false and reads the kind once, at
// the end. So a call that answers false always has a kind noted, and one that goes on none.
class CopyFailure {
 public:
  // Notes a failure; false, for the failing call to return. A read failure outweighs a write
  // failure noted with it: what was read is worthless whatever was written of it.
  bool Fail(CopyResult kind) {
    if (kind_ != CopyResult::kReadError) kind_ = kind;
    return false;
  }
  // A failure that happened before those noted (the output worker's, which shows late) takes
  // their place.
  void FailBefore(CopyResult kind) { kind_ = kind; }
  bool failed() const { return kind_ != CopyResult::kDone; }
  CopyResult kind() const { return kind_; }

 private:
  CopyResult kind_ = CopyResult::kDone;
};

}  // namespace qef
