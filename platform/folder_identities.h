#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "runtime/file_system.h"

namespace qef {

// The identities of the folders a file system has identified for IdentifyEntry, by the key the
// backend names them by: the copies of a run mostly share a folder or a few, and an identity
// costs a system call each (under Wine, calls to two other processes). They hold for the run: a
// folder replaced under the same path meanwhile keeps its first identity. A folder not found is
// not kept, so one made later is found.
class FolderIdentities {
 public:
  template <typename Identify>
  std::optional<FileIdentity> Get(std::string key, Identify identify) {
    if (auto known = known_.find(key); known != known_.end()) return known->second;
    std::optional<FileIdentity> identity = identify();
    if (identity) known_.emplace(std::move(key), *identity);
    return identity;
  }

 private:
  std::map<std::string, FileIdentity> known_;
};

}  // namespace qef
