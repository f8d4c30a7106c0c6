#pragma once

#include <cstddef>
#include <memory>

#include "runtime/file_system.h"

namespace qef {

// Where a backend takes the pages of its blocks from, and gives them back to.
struct PageSource {
  // At least `size` bytes; `mapped` is set to what was taken. Null when there is no memory.
  char* (*take)(size_t size, size_t& mapped);
  void (*give_back)(char* data, size_t mapped);
};

// Block memory from `source`, where the largest block given back is kept for the next file of
// the run: fresh pages cost a fault each, and the system sets each to zero first, which for a
// block of 2 MiB costs more than reading a small file. One block is kept, whoever gives it back.
std::unique_ptr<BlockMemory> NewKeptBlock(size_t size, const PageSource& source);

}  // namespace qef
