#include "platform/headless/headless_file_system.h"

#include <algorithm>
#include <cstring>

namespace qef {

namespace {
constexpr int kNotFound = 2;
constexpr int kExists = 80;
constexpr int kAccessDenied = 5;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}
}  // namespace

class HeadlessView : public FileView {
 public:
  // Holds the file's bytes, so a view outlives a cut of the file as a mapping would.
  HeadlessView(std::shared_ptr<std::string> data, size_t offset, size_t size, bool damaged)
      : data_(std::move(data)), copy_(data_->substr(offset, size)), damaged_(damaged) {}
  const char* data() const override { return copy_.data(); }
  size_t size() const override { return copy_.size(); }
  bool Intact() const override { return !damaged_; }

 private:
  std::shared_ptr<std::string> data_;
  std::string copy_;
  bool damaged_;
};

class HeadlessFile : public File {
 public:
  HeadlessFile(HeadlessFileSystem& fs, std::shared_ptr<std::string> data, bool fail_reads)
      : fs_(fs), data_(std::move(data)), fail_reads_(fail_reads) {}

  // Whether an injected fault hits a read of `count` bytes at `offset`.
  bool Fails(int64_t offset, uint64_t count) const {
    return fail_reads_ && offset + static_cast<int64_t>(count) > fs_.fail_reads_from;
  }

  int64_t Read(void* buffer, size_t count) override {
    int64_t got = ReadFrom(position_, buffer, count);
    if (got > 0) position_ += static_cast<size_t>(got);
    return got;
  }

  int64_t ReadAt(int64_t offset, void* buffer, size_t count) override {
    if (!fs_.positioned_reads || offset < 0) return -1;
    int64_t got = ReadFrom(static_cast<size_t>(offset), buffer, count);
    if (got >= 0) ++fs_.reads_at;
    return got;
  }
  bool ReadsAt() const override { return fs_.positioned_reads; }

  bool Write(const void* data, size_t count) override {
    ++fs_.writes;
    if (fs_.fail_write_number != 0 && fs_.writes >= fs_.fail_write_number) return false;
    if (data_->size() < position_ + count) data_->resize(position_ + count);
    std::memcpy(data_->data() + position_, data, count);
    position_ += count;
    return true;
  }

  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    int64_t base = origin == SeekOrigin::kStart     ? 0
                   : origin == SeekOrigin::kCurrent ? static_cast<int64_t>(position_)
                                                    : static_cast<int64_t>(data_->size());
    if (base + offset < 0) return -1;
    position_ = static_cast<size_t>(base + offset);
    return base + offset;
  }

  int64_t Size() override { return static_cast<int64_t>(data_->size()); }

  SpanCopy CopyFrom(File& source, int64_t offset, uint64_t count) override {
    if (fs_.on_span_copy) fs_.on_span_copy();
    SpanCopy result;
    auto* from = dynamic_cast<HeadlessFile*>(&source);
    ++fs_.span_copies;
    if (from == nullptr || offset < 0 || from->Fails(offset, count)) {
      result.read_failed = true;
      return result;
    }
    ++fs_.writes;
    if (fs_.fail_write_number != 0 && fs_.writes >= fs_.fail_write_number) {
      result.write_failed = true;
      return result;
    }
    const std::string& in = *from->data_;
    auto start = static_cast<size_t>(offset);
    size_t n =
        start < in.size() ? static_cast<size_t>(std::min<uint64_t>(count, in.size() - start)) : 0;
    if (data_->size() < position_ + n) data_->resize(position_ + n);
    std::memcpy(data_->data() + position_, in.data() + start, n);
    position_ += n;
    result.copied = n;
    return result;
  }

  std::unique_ptr<FileView> View(int64_t offset, size_t size) override {
    if (!fs_.views || offset < 0 || Fails(offset, size)) return nullptr;
    fs_.largest_view = std::max(fs_.largest_view, size);
    auto start = std::min(static_cast<size_t>(offset), data_->size());
    return std::make_unique<HeadlessView>(data_, start, size, fs_.damage_views);
  }

  bool Close() override { return true; }

 private:
  // Up to `count` bytes from `offset` on, counted as one read; -1 where an injected fault hits.
  int64_t ReadFrom(size_t offset, void* buffer, size_t count) {
    if (Fails(static_cast<int64_t>(offset), count)) return -1;
    ++fs_.reads;
    fs_.largest_read = std::max(fs_.largest_read, count);
    size_t n = offset < data_->size() ? std::min(count, data_->size() - offset) : 0;
    if (n > 0) std::memcpy(buffer, data_->data() + offset, n);
    return static_cast<int64_t>(n);
  }

  HeadlessFileSystem& fs_;
  std::shared_ptr<std::string> data_;
  bool fail_reads_;
  size_t position_ = 0;
};

void HeadlessFileSystem::AddFile(const std::string& path, std::string content) {
  files_[path] = std::make_shared<std::string>(std::move(content));
}

std::string HeadlessFileSystem::Content(const std::string& path) const {
  auto found = files_.find(path);
  return found == files_.end() ? std::string() : *found->second;
}

std::vector<std::string> HeadlessFileSystem::Names() const {
  std::vector<std::string> names;
  for (const auto& [name, data] : files_) names.push_back(name);
  return names;
}

std::unique_ptr<File> HeadlessFileSystem::Open(const std::string& path, FileAccess /*access*/) {
  opened.push_back(path);
  auto found = files_.find(path);
  if (found == files_.end() || Contains(refuse_open, path)) {
    last_error_ = kNotFound;
    return nullptr;
  }
  last_error_ = 0;
  return std::make_unique<HeadlessFile>(*this, found->second, path == fail_reads_of);
}

void HeadlessFileSystem::Truncate(const std::string& path, size_t size) {
  auto found = files_.find(path);
  if (found != files_.end() && found->second->size() > size) found->second->resize(size);
}

std::unique_ptr<File> HeadlessFileSystem::Create(const std::string& path, CreateMode mode) {
  created.push_back(path);
  if (before_create) before_create(path);
  if (Contains(refuse_create, path)) {
    last_error_ = refuse_create_error;
    return nullptr;
  }
  if (mode == CreateMode::kTemporary && Exists(path) && !Contains(claimed, path)) {
    erased.push_back(path);  // a stale one: removed, then created anew
    files_.erase(path);
  }
  if (mode != CreateMode::kTruncate && Exists(path)) {
    last_error_ = kExists;
    return nullptr;
  }
  last_error_ = 0;
  auto data = std::make_shared<std::string>();
  files_[path] = data;
  return std::make_unique<HeadlessFile>(*this, data, false);
}

bool HeadlessFileSystem::CreateFolder(const std::string& path) {
  if (Exists(path) || Contains(refuse_folders, path)) {
    last_error_ = Exists(path) ? kExists : kAccessDenied;
    return false;
  }
  if (folders_.insert(path).second) folders_made.push_back(path);
  last_error_ = 0;
  return true;
}

bool HeadlessFileSystem::Erase(const std::string& path) {
  erased.push_back(path);
  last_error_ = files_.erase(path) == 1 ? 0 : kNotFound;
  return last_error_ == 0;
}

bool HeadlessFileSystem::Rename(const std::string& from, const std::string& to) {
  renamed.emplace_back(from, to);
  auto found = files_.find(from);
  if (refuse_rename || found == files_.end()) {
    last_error_ = refuse_rename ? kAccessDenied : kNotFound;
    return false;
  }
  auto data = found->second;
  files_.erase(found);
  files_[to] = data;
  last_error_ = 0;
  return true;
}

bool HeadlessFileSystem::RenameIfFree(const std::string& from, const std::string& to) {
  if (!Exists(to)) return Rename(from, to);
  last_error_ = kExists;
  return false;
}

std::optional<FileIdentity> HeadlessFileSystem::IdentifyEntry(const std::string& path) const {
  std::string name = path;
  if (case_insensitive_names) {
    for (char& c : name) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  return FileIdentity{0, 0, name};
}

std::optional<FileIdentity> HeadlessFileSystem::IdentifyFile(const std::string& path) const {
  identified.push_back(path);
  if (!Exists(path)) return std::nullopt;
  return IdentifyEntry(path);
}

}  // namespace qef
