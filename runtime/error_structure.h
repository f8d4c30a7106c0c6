#pragma once

// The error structure: the run-time's fixed record of one error, from which the registered
// error function makes an Error object.
//
// 25 fields, little-endian, no padding; in 32-bit builds every field is 4 bytes and the record
// is 100 bytes:
//   0 subsystem (text)    4 sub-code           8 general code      12 OS code
//  16 severity           20 can default       24 can retry        28 can substitute
//  32 operation (text)   36 description (text) 40 file name (text) 44 argument block
//  48 tries              52 function symbol   56 file handle      60 argument number
//  64 function pointer   68 sub-code text     72 argument text    76 argument type
//  80 requested type     84 maximum size      88 substitute type  92 choice
//  96 calling function symbol
// Texts are NUL-terminated; the argument text may instead address a run-time string
// (IsDynPtr). Logicals are 0 or 1. In 64-bit builds the pointer fields widen and nothing may
// rely on byte offsets.

#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/usual.h"

namespace qef {

// The argument block: two 16-bit counts, then the argument values. The values are reached
// through a span that knows how many are really stored, so a count larger than that cannot
// lead a reader past the end.
struct ArgBlock {
  uint16_t count1;
  uint16_t count2;
  std::span<const Usual> values;
};

struct ErrorStructure {
  const char* subsystem;
  uint32_t sub_code;
  uint32_t gen_code;
  uint32_t os_code;
  uint32_t severity;
  uint32_t can_default;
  uint32_t can_retry;
  uint32_t can_substitute;
  const char* operation;
  const char* description;
  const char* file_name;
  const ArgBlock* args;
  uint32_t tries;
  uint32_t func_sym;
  uint32_t file_handle;
  uint32_t arg_num;
  const void* func_ptr;
  const char* sub_code_text;
  const void* arg;
  uint32_t arg_type;
  uint32_t arg_type_req;
  uint32_t max_size;
  uint32_t substitute_type;
  uint32_t choice;
  uint32_t call_func_sym;
};

// The 32-bit layout is the run-time's; check it wherever pointers are 4 bytes.
inline constexpr bool kPointers32 = sizeof(void*) == 4;
static_assert(!kPointers32 || sizeof(ErrorStructure) == 100);
static_assert(!kPointers32 || offsetof(ErrorStructure, can_substitute) == 28);
static_assert(!kPointers32 || offsetof(ErrorStructure, args) == 44);
static_assert(!kPointers32 || offsetof(ErrorStructure, func_sym) == 52);
static_assert(!kPointers32 || offsetof(ErrorStructure, func_ptr) == 64);
static_assert(!kPointers32 || offsetof(ErrorStructure, arg) == 72);
static_assert(!kPointers32 || offsetof(ErrorStructure, substitute_type) == 88);
static_assert(!kPointers32 || offsetof(ErrorStructure, call_func_sym) == 96);
static_assert(!kPointers32 || offsetof(ArgBlock, values) == 4);

// The run-time's severities.
inline constexpr uint32_t ES_WARNING = 1;
inline constexpr uint32_t ES_ERROR = 2;

}  // namespace qef
