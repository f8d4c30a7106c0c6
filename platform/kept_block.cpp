#include "platform/kept_block.h"

#include <mutex>
#include <utility>

namespace qef {

namespace {

// Pages taken from a source, to be given back to it.
struct Pages {
  char* data = nullptr;
  size_t size = 0;
  const PageSource* source = nullptr;
};

struct KeptBlock {
  std::mutex mutex;
  Pages pages;
} kept;

class PageBlock : public BlockMemory {
 public:
  explicit PageBlock(Pages pages) : pages_(pages) {}
  ~PageBlock() override {
    Pages released = pages_;
    {
      std::lock_guard<std::mutex> lock(kept.mutex);
      if (kept.pages.size < released.size) std::swap(released, kept.pages);
    }
    if (released.data != nullptr) released.source->give_back(released.data, released.size);
  }
  char* data() override { return pages_.data; }

 private:
  Pages pages_;
};

}  // namespace

std::unique_ptr<BlockMemory> NewKeptBlock(size_t size, const PageSource& source) {
  {
    std::lock_guard<std::mutex> lock(kept.mutex);
    if (kept.pages.data != nullptr && kept.pages.size >= size && kept.pages.source == &source) {
      return std::make_unique<PageBlock>(std::exchange(kept.pages, Pages{}));
    }
  }
  Pages taken{nullptr, 0, &source};
  taken.data = source.take(size, taken.size);
  if (taken.data == nullptr) return nullptr;
  return std::make_unique<PageBlock>(taken);
}

}  // namespace qef
