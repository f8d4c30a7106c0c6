// repair_bench: times the repair run on generated export files against two plain copies of the
// same files, the kernel's copy_file_range (what cp does) and a read/write block copy, with the
// peak memory of each, at several file sizes, and times the repair's worst cases.
//
//   repair_bench [--sizes-mib N,N,...] [--runs N] [--dir PATH] [--keep]
//   repair_bench --make-folder DIR [--files N] [--kib MIN-MAX]
//
// --make-folder writes an everyday folder of export files instead of timing anything: N files
// (1,000 by default) of 8 KiB to 2 MiB, for bench/efx_vs_cp --folder.
//
// Every measured run happens in a forked child, so its peak resident set (ru_maxrss from wait4)
// belongs to that run alone and the parent's state cannot leak from one run into the next.
// The files stay in the page cache: the figures compare processing cost, not disk speed.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "exportfile/ef_rec_type.h"
#include "exportfile/process_ef.h"
#include "exportfile/record_frame.h"
#include "exportfile/repair.h"
#include "platform/headless/headless_settings.h"
#include "platform/headless/headless_ui.h"
#include "platform/posix/posix_file_system.h"
#include "progress/win_progress.h"
#include "runtime/runtime.h"

namespace qef {
namespace {

constexpr size_t kCopyBlockSize = 1 << 20;
constexpr size_t kWriterBufferSize = 1 << 20;
constexpr uint64_t kMiB = 1 << 20;
constexpr int kSameNameModules = 100000;
constexpr int kDistinctNameModules = 1000000;
constexpr double kRatioTarget = 1.2;  // against the kernel's copy
constexpr uint64_t kTinyRecords = 5000000;
constexpr uint64_t kHugeRecordMiB = 200;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "repair_bench: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// Writes records to a new file through one buffer, counting what it wrote.
class RecordFileWriter {
 public:
  explicit RecordFileWriter(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) Die("cannot create " + path);
    buffer_.reserve(kWriterBufferSize + 64 * 1024);
  }
  ~RecordFileWriter() { Close(); }

  void Record(uint16_t type, std::string_view body) {
    char header[kRecordHeaderSize];
    EncodeRecordFrame({type, static_cast<uint32_t>(body.size())}, header);
    buffer_.append(header, sizeof header);
    buffer_.append(body);
    bytes_ += sizeof header + body.size();
    ++records_;
    if (buffer_.size() >= kWriterBufferSize) Flush();
  }
  void Record32(uint16_t type, uint32_t value) {
    char body[4];
    for (int i = 0; i < 4; ++i) body[i] = static_cast<char>(value >> (8 * i) & 0xFF);
    Record(type, std::string_view(body, sizeof body));
  }

  void Close() {
    if (fd_ < 0) return;
    Flush();
    if (::close(fd_) != 0) Die("cannot write " + path_);
    fd_ = -1;
    std::string().swap(buffer_);  // the forked runs should not inherit it
  }

  uint64_t bytes() const { return bytes_; }
  uint64_t records() const { return records_; }

 private:
  void Flush() {
    size_t done = 0;
    while (done < buffer_.size()) {
      ssize_t put = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) Die("cannot write " + path_);
      done += static_cast<size_t>(put);
    }
    buffer_.clear();
  }

  std::string path_;
  int fd_ = -1;
  std::string buffer_;
  uint64_t bytes_ = 0;
  uint64_t records_ = 0;
};

struct GeneratedFile {
  std::string path;
  uint64_t bytes = 0;
  uint64_t records = 0;
  uint64_t modules = 0;
};

void WriteHeader(RecordFileWriter& w) {
  w.Record(AEF_REC_HEADER, std::string("\x80\x02\x19\x00", 4) + "CA-VO Export File" +
                               std::string("\0\x01\x00\x00\x00", 5));
  w.Record32(AEF_REC_TIME, 1087295400);
}

// Lines that entity sources are made of: plain CA-VO code with the characters the repair
// treats as bad in names, which must pass through source bodies untouched.
constexpr std::string_view kSourceLines[] = {
    "\tLOCAL oServer AS DBServer\r\n",
    "\toServer := DBServer{\"CUSTOMER.DBF\", DBSHARED}\r\n",
    "\tIF oServer:Used\r\n",
    "\t\toServer:GoTop()\r\n",
    "\t\tDO WHILE !oServer:EoF\r\n",
    "\t\t\tnTotal += oServer:FIELDGET(#AMOUNT)\r\n",
    "\t\t\toServer:Skip(1)\r\n",
    "\t\tENDDO\r\n",
    "\tENDIF\r\n",
    "\tSELF:oDCStatus:TextValue := \"Ready: \" + NTrim(nTotal)\r\n",
    "\t// totals per customer <see report 12/a>\r\n",
    "\tcPath := \"C:\\Data\\Invoices\\\" + cFile\r\n",
    "\tRETURN SELF\r\n",
    "\tLOCAL aItems := {} AS ARRAY\r\n",
    "\tAAdd(aItems, {cName, nAmount, dDate})\r\n",
    "\tASort(aItems,,, {|a, b| a[1] <= b[1]})\r\n",
};

// A module name for module number `n`: most are plain and unique, some carry bad characters,
// and some pairs differ only in bad characters and letter case so they collide after repair.
std::string ModuleName(uint64_t n) {
  std::string number = std::to_string(n);
  switch (n % 20) {
    case 3:
      return "Sales/Reports " + number;
    case 7:
      return "Report:" + number;
    case 8:
      return "report*" + std::to_string(n - 1);  // collides with the name before it
    case 13:
      return "Dialog <" + number + ">";
    default:
      return "Module" + number;
  }
}

GeneratedFile GenerateLargeFile(const std::string& path, uint64_t target_bytes,
                                uint32_t seed = 20240615) {
  std::mt19937 random(seed);  // fixed seed: the same file on every run
  auto uniform = [&random](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };
  RecordFileWriter w(path);
  WriteHeader(w);
  w.Record(AEF_REC_APPNAME, std::string("Bench: Large <App>") + '\0');
  w.Record(AEF_REC_COMPOPTS, std::string("\x03\x00\x01\x00\x00\x00\x10\x00", 8));
  w.Record(AEF_REC_SPATH, std::string("C:\\CAVO25\\Apps\\Bench") + '\0');
  w.Record(AEF_REC_APPDESC, "A generated application for timing the repair");

  GeneratedFile file;
  file.path = path;
  std::string source;
  std::string code;
  uint32_t line = 1;
  while (w.bytes() < target_bytes) {
    w.Record(AEF_REC_MODNAME, ModuleName(file.modules) + '\0');
    w.Record32(AEF_REC_MODOEM, 0);
    w.Record(AEF_REC_MODDESC, "Generated module " + std::to_string(file.modules));
    ++file.modules;
    uint32_t entities = uniform(6, 16);
    for (uint32_t e = 0; e < entities; ++e) {
      std::string name = "Entity" + std::to_string(file.modules) + "_" + std::to_string(e);
      w.Record(AEF_REC_ENTNAME, name + '\0');
      w.Record32(AEF_REC_ENTTYPE, uniform(1, 6));
      w.Record32(AEF_REC_ENTSUBTYPE, 0);
      w.Record32(AEF_REC_ENTTIME, 1087295400 + line);
      w.Record32(AEF_REC_ENTLINE, line);
      w.Record(AEF_REC_ENTVISIBILITY, std::string(1, '\x01'));
      w.Record(AEF_REC_ENTVITALITY, std::string(1, '\x00'));
      w.Record(AEF_REC_ENTDBG, std::string("\x00\x00\x00\x00\x10\x00\x00\x00", 8));

      uint32_t source_size = uniform(1024, 6 * 1024);
      source = "FUNCTION " + name + "() AS USUAL PASCAL\r\n";
      while (source.size() < source_size) {
        source += kSourceLines[uniform(0, std::size(kSourceLines) - 1)];
      }
      w.Record(AEF_REC_ENTSOURCE, source);
      line += 40;

      // Compiled code now and then: opaque binary of a few KB.
      if (uniform(0, 3) == 0) {
        code.resize(uniform(512, 8 * 1024));
        for (char& c : code) c = static_cast<char>(random() & 0xFF);
        w.Record(AEF_REC_DT_CODE, code);
        w.Record32(AEF_REC_FIXUP_COUNT, uniform(0, 40));
      }
    }
  }
  w.Record(AEF_REC_END, "");
  w.Close();
  file.bytes = w.bytes();
  file.records = w.records();
  return file;
}

GeneratedFile GenerateSameNameFile(const std::string& path) {
  RecordFileWriter w(path);
  WriteHeader(w);
  const std::string body = std::string("Module:Name") + '\0';
  for (int i = 0; i < kSameNameModules; ++i) w.Record(AEF_REC_MODNAME, body);
  w.Record(AEF_REC_END, "");
  w.Close();
  return {path, w.bytes(), w.records(), static_cast<uint64_t>(kSameNameModules)};
}

// Every module name distinct: the repair must remember each one, so this shows how its memory
// grows with the number of modules rather than with the size of the file.
GeneratedFile GenerateDistinctNameFile(const std::string& path) {
  RecordFileWriter w(path);
  WriteHeader(w);
  char name[32];
  for (int i = 0; i < kDistinctNameModules; ++i) {
    int length = std::snprintf(name, sizeof name, "Module:%07d", i);
    w.Record(AEF_REC_MODNAME,
             std::string_view(name, static_cast<size_t>(length) + 1));  // with its zero
  }
  w.Record(AEF_REC_END, "");
  w.Close();
  return {path, w.bytes(), w.records(), static_cast<uint64_t>(kDistinctNameModules)};
}

// Millions of empty records: the per-record work with nothing to copy.
GeneratedFile GenerateTinyRecordFile(const std::string& path) {
  RecordFileWriter w(path);
  WriteHeader(w);
  for (uint64_t i = 0; i < kTinyRecords; ++i) w.Record(AEF_REC_ENTIMP, "");
  w.Close();
  return {path, w.bytes(), w.records(), 0};
}

// One opaque record of 200 MiB: a body that streams and is never looked at.
GeneratedFile GenerateHugeRecordFile(const std::string& path) {
  RecordFileWriter w(path);
  WriteHeader(w);
  std::string body(kHugeRecordMiB * kMiB, '\0');
  for (size_t i = 0; i < body.size(); ++i) {
    body[i] = kSourceLines[i / 4096 % std::size(kSourceLines)][i % 8];
  }
  w.Record(AEF_REC_ENTSOURCE, body);
  w.Record(AEF_REC_END, "");
  w.Close();
  return {path, w.bytes(), w.records(), 0};
}

// What a forked run reports back to the parent through a pipe.
struct ChildReport {
  double seconds = 0;
  uint32_t completed = 0;
  uint32_t boxes = 0;
};

struct RunResult {
  ChildReport report;
  double max_rss_mib = 0;
  bool ok = false;
};

template <typename Body>
RunResult RunInChild(Body body) {
  int fds[2];
  if (::pipe(fds) != 0) Die("pipe");
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) Die("fork");
  if (pid == 0) {
    ::close(fds[0]);
    ChildReport report = body();
    bool sent = ::write(fds[1], &report, sizeof report) == static_cast<ssize_t>(sizeof report);
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  RunResult result;
  ssize_t got = ::read(fds[0], &result.report, sizeof result.report);
  ::close(fds[0]);
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) < 0) Die("wait4");
  result.max_rss_mib = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
  result.ok = got == static_cast<ssize_t>(sizeof result.report) && WIFEXITED(status) &&
              WEXITSTATUS(status) == 0;
  return result;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A user interface that draws nothing and records nothing, for telling the repair's own cost
// from that of the headless test instrument, which formats a log line per update even with its
// log turned off.
class SilentPeer : public WindowPeer {
 public:
  void SetCaption(const std::string&) override {}
  void Show() override {}
  void SetIcon(const ResourceID&, bool) override {}
  void SetControlText(int, const std::string&) override {}
  void SetControlFont(int, const Font&) override {}
  void SetProgressRange(int, int, int) override {}
  void SetProgressPosition(int, int) override {}
  bool OpenAnimation(int, const ResourceID&) override { return true; }
  void PlayAnimation(int) override {}
};

class SilentUi : public UserInterface {
 public:
  int ShowMessageBox(Window*, const std::string&, const std::string&, uint32_t) override {
    ++boxes;
    return BOXREPLYOK;
  }
  std::unique_ptr<WindowPeer> CreateDialog(Window&, const ResourceID&, bool) override {
    return std::make_unique<SilentPeer>();
  }
  void ProcessPendingEvents() override {}
  uint32_t boxes = 0;
};

enum class UiKind { kHeadless, kSilent };

// The repair run as efx runs it, with the real file system, no stored settings and a user
// interface that shows nothing.
ChildReport Repair(const std::string& input, UiKind kind) {
  PosixFileSystem files;
  HeadlessSettings settings;
  HeadlessUi headless;
  headless.logging = false;
  SilentUi silent;
  UserInterface& ui = kind == UiKind::kHeadless ? static_cast<UserInterface&>(headless) : silent;
  ScopedRuntime runtime(files, settings, ui);
  WinProgress oWin;
  oWin.Show();
  auto start = std::chrono::steady_clock::now();
  uint32_t completed = ProcessEF({input}, oWin);
  ChildReport report;
  report.seconds = Seconds(start);
  report.completed = completed;
  report.boxes = static_cast<uint32_t>(headless.boxes.size()) + silent.boxes;
  return report;
}

// Times `copy(in, out)` from opening the two files to closing them; it returns false on a failure.
template <typename Copy>
ChildReport TimedCopy(const std::string& input, const std::string& output, Copy copy) {
  auto start = std::chrono::steady_clock::now();
  int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || out < 0) return {};
  bool ok = copy(in, out);
  ::close(in);
  ok = ::close(out) == 0 && ok;
  ChildReport report;
  report.seconds = Seconds(start);
  report.completed = ok ? 1 : 0;
  return report;
}

// What cp does: the kernel copies from file to file.
ChildReport KernelCopy(const std::string& input, const std::string& output) {
  return TimedCopy(input, output, [](int in, int out) {
    for (;;) {
      ssize_t put = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return put == 0;
    }
  });
}

ChildReport PlainCopy(const std::string& input, const std::string& output) {
  return TimedCopy(input, output, [](int in, int out) {
    std::vector<char> block(kCopyBlockSize);
    for (;;) {
      ssize_t got = ::read(in, block.data(), block.size());
      if (got <= 0) return got == 0;
      if (::write(out, block.data(), static_cast<size_t>(got)) != got) return false;
    }
  });
}

int64_t FileSize(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

// The figures of one kind of run over several runs: the median time, the largest peak memory.
struct Measurement {
  std::vector<double> seconds;
  double max_rss_mib = 0;
  int64_t output_size = -1;
  bool ok = true;

  // Runs `body` once in a child, checks that it wrote `output` at `expected_size` bytes, and
  // removes the output so the next run starts without it. Each run starts with nothing left to
  // write back: otherwise the writeback of one run's gigabyte throttled the next.
  template <typename Body>
  void Run(const std::string& output, int64_t expected_size, Body body) {
    ::sync();
    RunResult run = RunInChild(body);
    output_size = FileSize(output);
    ::unlink(output.c_str());
    bool done = run.ok && run.report.completed == 1 && run.report.boxes == 0 &&
                output_size == expected_size;
    ok = ok && done;
    if (done) seconds.push_back(run.report.seconds);
    max_rss_mib = std::max(max_rss_mib, run.max_rss_mib);
  }

  double Median() const {
    if (seconds.empty()) return 1e300;
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
  double Least() const {
    return seconds.empty() ? 1e300 : *std::min_element(seconds.begin(), seconds.end());
  }
  double Most() const {
    return seconds.empty() ? 1e300 : *std::max_element(seconds.begin(), seconds.end());
  }
};

struct FileFigures {
  Measurement kernel_copy;
  Measurement copy;
  Measurement repair;
  Measurement repair_silent;
};

FileFigures MeasureFile(const GeneratedFile& file, int runs) {
  const std::string repaired = OutputName(file.path, "/");
  const std::string copied = file.path + ".copy";
  const auto size = static_cast<int64_t>(file.bytes);
  FileFigures figures;
  // Alternating keeps the kinds under the same conditions (page cache, writeback) as far as can be.
  for (int i = 0; i < runs; ++i) {
    figures.kernel_copy.Run(copied, size, [&] { return KernelCopy(file.path, copied); });
    figures.copy.Run(copied, size, [&] { return PlainCopy(file.path, copied); });
    figures.repair.Run(repaired, size, [&] { return Repair(file.path, UiKind::kHeadless); });
    figures.repair_silent.Run(repaired, size, [&] { return Repair(file.path, UiKind::kSilent); });
  }
  return figures;
}

void PrintRun(const char* what, const Measurement& m, uint64_t bytes) {
  double mib_per_s = static_cast<double>(bytes) / static_cast<double>(kMiB) / m.Median();
  std::printf(
      "    %-30s %7.3f s (%5.3f-%5.3f) %6.0f MiB/s  peak RSS %6.1f MiB  output %lld bytes%s\n",
      what, m.Median(), m.Least(), m.Most(), mib_per_s, m.max_rss_mib,
      static_cast<long long>(m.output_size),
      m.ok ? " (same size: ok)" : " (FAILED or size differs)");
}

void PrintFile(const std::string& title, const GeneratedFile& file) {
  std::printf("\n%s\n    %llu bytes (%.1f MiB), %llu records, %llu module records\n", title.c_str(),
              static_cast<unsigned long long>(file.bytes),
              static_cast<double>(file.bytes) / static_cast<double>(kMiB),
              static_cast<unsigned long long>(file.records),
              static_cast<unsigned long long>(file.modules));
}

// Prints every kind of run of one file, with the target where one is set; false when a run
// failed.
bool PrintFigures(const FileFigures& figures, uint64_t bytes, bool with_target) {
  PrintRun("copy_file_range (as cp)", figures.kernel_copy, bytes);
  PrintRun("read/write copy, 1 MiB blocks", figures.copy, bytes);
  PrintRun("repair, HeadlessUi", figures.repair, bytes);
  PrintRun("repair, silent UI", figures.repair_silent, bytes);
  double kernel_ratio = figures.repair.Median() / figures.kernel_copy.Median();
  std::printf("    %-30s %7.2fx", "repair / copy_file_range", kernel_ratio);
  if (with_target) {
    std::printf("   target <= %.1fx: %s", kRatioTarget,
                kernel_ratio <= kRatioTarget ? "met" : "MISSED");
  }
  std::printf("\n");
  std::printf("    %-30s %7.2fx\n", "repair / read-write copy",
              figures.repair.Median() / figures.copy.Median());
  return figures.kernel_copy.ok && figures.copy.ok && figures.repair.ok && figures.repair_silent.ok;
}

struct Options {
  std::vector<uint64_t> sizes_mib = {64, 256, 1024};
  int runs = 3;
  std::string dir;
  bool keep = false;
  std::string folder;  // --make-folder
  int files = 1000;
  uint64_t min_kib = 8;
  uint64_t max_kib = 2048;
};

// The folder of everyday work: sizes spread evenly on a log scale from 8 KiB to 2 MiB by default
// (most real export files are small), a few in ten of them modules (.MEF), each file its own seed.
int MakeFolder(const Options& options) {
  if (::mkdir(options.folder.c_str(), 0755) != 0 && errno != EEXIST)
    Die("cannot create " + options.folder);
  std::mt19937 random(20261207);
  std::uniform_real_distribution<double> log_size(std::log(1024.0 * options.min_kib),
                                                  std::log(1024.0 * options.max_kib));
  uint64_t total = 0;
  for (int n = 0; n < options.files; ++n) {
    auto size = static_cast<uint64_t>(std::exp(log_size(random)));
    char name[32];
    std::snprintf(name, sizeof name, "App%04d.%s", n, n % 10 < 3 ? "MEF" : "AEF");
    total += GenerateLargeFile(options.folder + "/" + name, size, random()).bytes;
  }
  std::printf("%d export files, %.1f MiB in all, in %s\n", options.files,
              static_cast<double>(total) / kMiB, options.folder.c_str());
  return 0;
}

bool ParseSizes(const std::string& list, std::vector<uint64_t>& sizes) {
  sizes.clear();
  for (size_t start = 0; start <= list.size();) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    uint64_t size = std::strtoull(list.substr(start, end - start).c_str(), nullptr, 10);
    if (size < 4) return false;
    sizes.push_back(size);
    start = end + 1;
  }
  return !sizes.empty();
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool has_value = i + 1 < argc;
    if ((arg == "--sizes-mib" || arg == "--size-mib") && has_value) {
      if (!ParseSizes(argv[++i], options.sizes_mib)) return false;
    } else if (arg == "--runs" && has_value) {
      options.runs = std::atoi(argv[++i]);
    } else if (arg == "--dir" && has_value) {
      options.dir = argv[++i];
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--make-folder" && has_value) {
      options.folder = argv[++i];
    } else if (arg == "--files" && has_value) {
      options.files = std::atoi(argv[++i]);
    } else if (arg == "--kib" && has_value) {
      if (std::sscanf(argv[++i], "%" SCNu64 "-%" SCNu64, &options.min_kib, &options.max_kib) != 2) {
        return false;
      }
    } else {
      return false;
    }
  }
  return options.runs >= 1 && options.files >= 1 && options.min_kib >= 1 &&
         options.min_kib <= options.max_kib;
}

int Main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(
        "Usage: repair_bench [--sizes-mib N,N,...] [--runs N] [--dir PATH] [--keep]\n"
        "  --sizes-mib LIST  sizes of the realistic export files, each at least 4\n"
        "                    (default 64,256,1024)\n"
        "  --runs N          runs of each measurement, the median counts (default 3)\n"
        "  --dir PATH        where the temporary folder goes (default $TMPDIR or /tmp)\n"
        "  --keep            keep the generated files\n"
        "   or: repair_bench --make-folder DIR [--files N] [--kib MIN-MAX]\n"
        "  --make-folder DIR write N everyday export files into DIR\n"
        "  --files N         how many (default 1000)\n"
        "  --kib MIN-MAX     their sizes in KiB, spread on a log scale (default 8-2048)\n",
        stderr);
    return 2;
  }
  if (!options.folder.empty()) return MakeFolder(options);
  if (options.dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    options.dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string folder_template = options.dir + "/repair_bench.XXXXXX";
  if (::mkdtemp(folder_template.data()) == nullptr) Die("cannot create a folder in " + options.dir);
  const std::string folder = folder_template;

  std::printf("repair_bench: files in %s, median of %d runs, page cache warm\n", folder.c_str(),
              options.runs);
  std::fflush(stdout);

  // What a forked child costs before it does anything: the floor under every peak figure.
  RunResult idle = RunInChild([] { return ChildReport{0, 1, 0}; });
  bool all_ok = true;
  std::vector<std::pair<uint64_t, double>> peaks;

  // One size at a time, each file removed after it is measured: the disk holds one at a time.
  for (uint64_t size_mib : options.sizes_mib) {
    std::string path = folder + "/realistic_" + std::to_string(size_mib) + ".AEF";
    GeneratedFile file = GenerateLargeFile(path, size_mib * kMiB);
    ::sync();  // the new file's writeback would otherwise slow the first runs down
    FileFigures figures = MeasureFile(file, options.runs);
    PrintFile("(a) realistic export file, " + std::to_string(size_mib) + " MiB", file);
    all_ok = PrintFigures(figures, file.bytes, true) && all_ok;
    peaks.emplace_back(size_mib, figures.repair.max_rss_mib);
    std::fflush(stdout);
    if (!options.keep) ::unlink(path.c_str());
  }

  struct WorstCase {
    const char* title;
    GeneratedFile (*generate)(const std::string&);
    const char* name;
    int runs;
  } worst_cases[] = {
      {"(b) 100,000 module records all named \"Module:Name\"", GenerateSameNameFile,
       "same_name.MEF", options.runs},
      {"(c) 5,000,000 empty records", GenerateTinyRecordFile, "tiny_records.AEF", options.runs},
      {"(d) one record of 200 MiB", GenerateHugeRecordFile, "huge_record.AEF", options.runs},
      {"(e) every record a module name: 1,000,000 distinct names", GenerateDistinctNameFile,
       "distinct_names.MEF", 1},
  };
  for (const WorstCase& worst : worst_cases) {
    GeneratedFile file = worst.generate(folder + "/" + worst.name);
    ::sync();
    FileFigures figures = MeasureFile(file, worst.runs);
    PrintFile(worst.title, file);
    all_ok = PrintFigures(figures, file.bytes, false) && all_ok;
    std::fflush(stdout);
    if (!options.keep) ::unlink(file.path.c_str());
  }

  std::printf("\npeak memory of the repair with HeadlessUi (ru_maxrss of its child):\n");
  for (auto [size_mib, peak] : peaks) {
    std::printf("    %6llu MiB file: %6.1f MiB\n", static_cast<unsigned long long>(size_mib), peak);
  }
  std::printf("    an idle forked child: %6.1f MiB (the floor under all)\n", idle.max_rss_mib);

  if (options.keep) {
    std::printf("\nkept %s\n", folder.c_str());
  } else {
    ::rmdir(folder.c_str());
  }
  if (!all_ok) std::puts("\nSOME RUNS FAILED or wrote a copy of another size");
  return all_ok ? 0 : 1;
}

}  // namespace
}  // namespace qef

int main(int argc, char** argv) { return qef::Main(argc, argv); }
