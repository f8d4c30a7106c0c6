// Holds a file open as another program would, with the sharing it is given, until its standard
// input ends. It says "held" on standard output once the file is open.
//   hold_file PATH SHARING     SHARING: the letters r, w and d (read, write, delete), or "-"
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: hold_file PATH SHARING\n", stderr);
    return 2;
  }
  DWORD sharing = 0;
  if (std::strchr(argv[2], 'r')) sharing |= FILE_SHARE_READ;
  if (std::strchr(argv[2], 'w')) sharing |= FILE_SHARE_WRITE;
  if (std::strchr(argv[2], 'd')) sharing |= FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, sharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("failed %lu\n", GetLastError());
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
