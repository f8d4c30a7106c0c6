#pragma once

// Files that are not regular files, for tests of what happens when one is given as an input: a
// FIFO (reading it would wait for a writer), a socket, a device and a folder.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace qef {

struct SpecialFile {
  const char* kind;
  std::string path;
};

// Makes a FIFO, a socket and a folder under `folder` and names two devices; a kind that could
// not be made is left out, so the caller can check that none is missing.
inline std::vector<SpecialFile> MakeSpecialFiles(const std::string& folder) {
  std::vector<SpecialFile> files;
  std::string fifo = folder + "/pipe.AEF";
  if (::mkfifo(fifo.c_str(), 0600) == 0) files.push_back({"fifo", fifo});
  std::string socket_path = folder + "/socket.AEF";
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (socket_path.size() < sizeof address.sun_path) {
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    // The socket's name stays in the folder after the descriptor is closed; nobody listens.
    if (socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      files.push_back({"socket", socket_path});
    }
    if (socket >= 0) ::close(socket);
  }
  files.push_back({"device /dev/zero", "/dev/zero"});
  files.push_back({"device /dev/null", "/dev/null"});
  std::string sub = folder + "/folder.AEF";
  if (::mkdir(sub.c_str(), 0700) == 0) files.push_back({"folder", sub});
  return files;
}

inline constexpr size_t kSpecialFileKinds = 5;

}  // namespace qef
