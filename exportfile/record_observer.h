#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exportfile/export_file.h"

namespace qef {

// How the record loop took a record from the input.
enum class RecordShape {
  kWhole,       // framing and body as declared
  kPadded,      // the body was cut short by the end of the file; the missing bytes are spaces
  kRestCopied,  // the length runs beyond the whole file: the rest from here is copied unchanged
  kFragment,    // fewer than 6 bytes after the last record, copied unchanged
};

struct RecordInfo {
  int64_t offset = 0;   // of the record's first byte in the input
  RecordHeader header;  // as stored; only `header.stored` bytes for a fragment
  RecordShape shape = RecordShape::kWhole;
  uint64_t size = 0;       // the bytes of the input the record takes up
  uint32_t missing = 0;    // kPadded: the body bytes taken as spaces
  bool duplicate = false;  // a module name that still equals an earlier one of the file
};

// Told what the record loop does, for tools that report on a file (efx dump, efx check) from the
// very code that repairs it. The loop calls an observer only when one is set.
class RecordObserver {
 public:
  virtual ~RecordObserver() = default;
  // A piece of a name record's body as read (padding included) and as written. The pieces of one
  // body come in order, cover it whole and precede the record's Record call; a module name comes
  // in one piece. The views are valid during the call only.
  virtual void NameBody(std::string_view before, std::string_view after) = 0;
  // True when the observer wants InvalidName calls. They need an application name whole in
  // memory, so an observer that only lists records streams without them.
  virtual bool ChecksNames() const { return false; }
  // An application or module name that Windows rejects as a file name, and why (name_rules.h);
  // before the record's Record call. Without the strict repair the name is as the character
  // replacement left it; with it, as the copy holds it, so only what stays invalid is told.
  virtual void InvalidName(std::string_view /*name*/, const std::string& /*reason*/) {}
  // With ChecksNames: a module name of the copy that other readers take for the name of the
  // earlier module at `earlier` (ReaderNameKey in name_rules.h), before the record's Record
  // call. Not told for an empty name, nor for a module whose whole body is a duplicate.
  virtual void DuplicateName(std::string_view /*name*/, int64_t /*earlier*/) {}
  // A record has been copied (in a dry run: read).
  virtual void Record(const RecordInfo& record) = 0;
};

}  // namespace qef
