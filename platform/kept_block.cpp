#include "platform/kept_block.h"

#include <mutex>

namespace qef {

namespace {

struct KeptBlock {
  std::mutex mutex;
  char* data = nullptr;
  size_t size = 0;
  const PageSource* pages = nullptr;
} kept;

class PageBlock : public BlockMemory {
 public:
  PageBlock(char* data, size_t size, const PageSource& pages)
      : data_(data), size_(size), pages_(pages) {}
  ~PageBlock() override {
    char* released = data_;
    size_t released_size = size_;
    const PageSource* released_pages = &pages_;
    {
      std::lock_guard<std::mutex> lock(kept.mutex);
      if (kept.size < size_) {
        std::swap(released, kept.data);
        std::swap(released_size, kept.size);
        std::swap(released_pages, kept.pages);
      }
    }
    if (released != nullptr) released_pages->give_back(released, released_size);
  }
  char* data() override { return data_; }

 private:
  char* data_;
  size_t size_;
  const PageSource& pages_;
};

}  // namespace

std::unique_ptr<BlockMemory> NewKeptBlock(size_t size, const PageSource& pages) {
  {
    std::lock_guard<std::mutex> lock(kept.mutex);
    if (kept.data != nullptr && kept.size >= size && kept.pages == &pages) {
      auto block = std::make_unique<PageBlock>(kept.data, kept.size, pages);
      kept.data = nullptr;
      kept.size = 0;
      kept.pages = nullptr;
      return block;
    }
  }
  size_t mapped = 0;
  char* data = pages.take(size, mapped);
  if (data == nullptr) return nullptr;
  return std::make_unique<PageBlock>(data, mapped, pages);
}

}  // namespace qef
