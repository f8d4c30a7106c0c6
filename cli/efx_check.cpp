// efx check: the repair of every file in a run that writes nothing, reporting what the copies
// would differ in. The report comes from the repair's own record loop, so it cannot disagree
// with what efx fix writes.

#include <CLI/CLI.hpp>
#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/app_texts.h"
#include "cli/byte_text.h"
#include "cli/efx_commands.h"
#include "cli/file_arguments.h"
#include "cli/quiet_ui.h"
#include "exportfile/ef_rec_type.h"
#include "exportfile/export_file.h"
#include "exportfile/process_ef.h"
#include "exportfile/record_frame.h"
#include "exportfile/record_observer.h"
#include "exportfile/repair.h"
#include "progress/win_progress.h"
#include "runtime/display_text.h"
#include "runtime/file_functions.h"
#include "runtime/runtime.h"
#include "runtime/settings_overlay.h"

namespace qef {

namespace {

using Json = nlohmann::ordered_json;

std::string Count(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A path is text of the system's own encoding; bytes that are not UTF-8 become U+FFFD.
std::string JsonText(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// What one file would get from the repair.
struct FileCounts {
  uint64_t records = 0;
  uint64_t name_records = 0;
  uint64_t changes = 0;
  uint64_t padded = 0;
  uint64_t duplicates = 0;
  uint64_t invalid_names = 0;
  uint64_t duplicate_names = 0;
  uint64_t no_end_record = 0;  // 1 when the file holds no end record

  // With the strict repair asked for, a name that stays invalid (an empty one) or duplicated is
  // a defect of the file like a change; without it, such names are warnings.
  bool NeedsRepair(bool strict_names) const {
    return changes != 0 || padded != 0 || (strict_names && NamesLeft() != 0);
  }
  uint64_t NamesLeft() const { return invalid_names + duplicates + duplicate_names; }
};

// Reports, record by record as the repair goes, every difference its copy would have: changed
// name bodies, padded bodies, and the module names that stay duplicated; and the application
// and module names that Windows would reject as file names, the module names that other readers
// take for an earlier one's, and a missing end record, which those readers refuse.
class CheckReport : public RecordObserver {
 public:
  CheckReport(std::FILE* out, bool json, bool strict_names, TerminalEncoding encoding)
      : out_(out), json_(json), strict_names_(strict_names), encoding_(encoding) {
    if (json_) std::fputs("{\"files\":[", out_);
  }

  void BeginFile(const std::string& path) {
    counts_ = FileCounts();
    first_finding_ = true;
    end_record_ = false;
    end_ = 0;
    duplicate_name_.Clear();  // a file that failed may have left one without its record
    duplicate_of_ = -1;
    if (json_) {
      std::fprintf(out_, "%s\n{\"file\":%s,\"findings\":[", first_file_ ? "" : ",",
                   JsonText(path).c_str());
    } else {
      std::fprintf(out_, "%s\n", Shown(path).c_str());
    }
    first_file_ = false;
  }

  void NameBody(std::string_view before, std::string_view after) override {
    before_.Add(before);
    after_.Add(after);
    changed_ = changed_ || before != after;
  }

  bool ChecksNames() const override { return true; }
  void InvalidName(std::string_view name, const std::string& reason) override {
    invalid_name_.Add(name);
    invalid_reason_ = reason;
  }
  void DuplicateName(std::string_view name, int64_t earlier) override {
    duplicate_name_.Add(name);
    duplicate_of_ = earlier;
  }

  void Record(const RecordInfo& record) override {
    ++counts_.records;
    end_ = record.offset + static_cast<int64_t>(record.size);
    if (record.shape != RecordShape::kFragment && record.header.Type() == AEF_REC_END) {
      end_record_ = true;
    }
    bool name = record.shape != RecordShape::kFragment &&
                record.shape != RecordShape::kRestCopied && IsNameRecord(record.header.Type());
    if (name) ++counts_.name_records;
    if (changed_) {
      ++counts_.changes;
      Json finding = Finding("change", record);
      finding["before"] = BytesAsUtf8(before_.shown());
      finding["after"] = BytesAsUtf8(after_.shown());
      if (before_.omitted() != 0) finding["omitted"] = before_.omitted();
      Write(finding,
            Quoted(before_.shown()) + Omitted() + " -> " + Quoted(after_.shown()) + Omitted());
    }
    if (record.shape == RecordShape::kPadded) {
      ++counts_.padded;
      Json finding = Finding("cut_short", record);
      finding["missing"] = record.missing;
      Write(finding, "cut short: " + Count(record.missing, "byte", "bytes") +
                         " missing, padded with spaces");
    }
    if (record.duplicate) {
      ++counts_.duplicates;
      Json finding = Finding("duplicate", record);
      finding["body"] = BytesAsUtf8(after_.shown());
      Write(finding,
            "still equal to an earlier module name: " + Quoted(after_.shown()) + Omitted());
    }
    if (!invalid_reason_.empty()) {
      ++counts_.invalid_names;
      ++invalid_names_;
      Json finding = Finding("invalid_name", record);
      finding["reason"] = BytesAsUtf8(invalid_reason_);
      finding["value"] = BytesAsUtf8(invalid_name_.shown());
      if (invalid_name_.omitted() != 0) finding["omitted"] = invalid_name_.omitted();
      std::string omitted =
          invalid_name_.omitted() == 0
              ? ""
              : " ... (" + std::to_string(invalid_name_.omitted()) + " more bytes)";
      Write(finding, "invalid name: " + Quoted(invalid_name_.shown()) + omitted + " (" +
                         Printable(invalid_reason_) + ")");
    }
    if (duplicate_of_ >= 0) {
      ++counts_.duplicate_names;
      ++duplicate_names_;
      Json finding = Finding("duplicate_name", record);
      finding["value"] = BytesAsUtf8(duplicate_name_.shown());
      if (duplicate_name_.omitted() != 0) finding["omitted"] = duplicate_name_.omitted();
      finding["earlier"] = duplicate_of_;
      Write(finding, "same name as the module at " + std::to_string(duplicate_of_) +
                         " for other readers: " + Quoted(duplicate_name_.shown()) +
                         Omitted(duplicate_name_));
    }
    before_.Clear();
    after_.Clear();
    changed_ = false;
    invalid_name_.Clear();
    invalid_reason_.clear();
    duplicate_name_.Clear();
    duplicate_of_ = -1;
  }

  void EndFile(FileResult result, const std::string& failure) {
    const char* status = result == FileResult::kFailed      ? "error"
                         : result == FileResult::kCancelled ? "cancelled"
                         : NeedsRepair()                    ? "needs_repair"
                                                            : "clean";
    if (result == FileResult::kCompleted && !end_record_) {
      counts_.no_end_record = 1;
      ++no_end_record_;
      RecordInfo end;
      end.offset = end_;
      EncodeRecordFrame({AEF_REC_END, 0}, end.header.raw);
      Write(Finding("no_end_record", end),
            "no end record: readers that look for it refuse the file");
    }
    if (result == FileResult::kFailed) {
      ++cannot_process_;
    } else if (result == FileResult::kCompleted) {
      ++(NeedsRepair() ? needs_repair_ : clean_);
    }
    if (json_) {
      std::fprintf(out_, "%s],\"status\":\"%s\"", first_finding_ ? "" : "\n", status);
      if (result == FileResult::kFailed) {
        std::fprintf(out_, ",\"error\":%s", JsonText(failure).c_str());
      }
      std::fprintf(out_,
                   ",\"records\":%" PRIu64 ",\"name_records\":%" PRIu64 ",\"changes\":%" PRIu64
                   ",\"padded\":%" PRIu64 ",\"duplicates\":%" PRIu64 ",\"invalid_names\":%" PRIu64
                   ",\"duplicate_names\":%" PRIu64 ",\"no_end_record\":%" PRIu64 "}",
                   counts_.records, counts_.name_records, counts_.changes, counts_.padded,
                   counts_.duplicates, counts_.invalid_names, counts_.duplicate_names,
                   counts_.no_end_record);
    } else {
      std::fprintf(out_, "  %s\n", Shown(TextSummary(result, failure)).c_str());
    }
    std::fflush(out_);  // each file's report shows as soon as it is complete
  }

  // The totals, and for JSON the end of the document.
  void Finish(bool cancelled) {
    uint64_t files = needs_repair_ + clean_ + cannot_process_;
    if (json_) {
      std::fprintf(out_,
                   "\n],\"summary\":{\"files\":%" PRIu64 ",\"needs_repair\":%" PRIu64
                   ",\"clean\":%" PRIu64 ",\"cannot_process\":%" PRIu64
                   ",\"cancelled\":%s,\"invalid_names\":%" PRIu64 ",\"duplicate_names\":%" PRIu64
                   ",\"no_end_record\":%" PRIu64 "}}\n",
                   files, needs_repair_, clean_, cannot_process_, cancelled ? "true" : "false",
                   invalid_names_, duplicate_names_, no_end_record_);
    } else {
      std::string invalid =
          invalid_names_ == 0 ? "" : "; " + Count(invalid_names_, InvalidOne(), InvalidMany());
      if (duplicate_names_ != 0) {
        invalid += "; " + Count(duplicate_names_, DuplicateNameOne(), DuplicateNameMany());
      }
      if (no_end_record_ != 0) {
        invalid +=
            "; " + Count(no_end_record_, "file has no end record", "files have no end record");
      }
      std::fprintf(out_, "%s: %s, %s, %s%s\n", Count(files, "file", "files").c_str(),
                   Count(needs_repair_, "needs repair", "need repair").c_str(),
                   (std::to_string(clean_) + " nothing to repair").c_str(),
                   (std::to_string(cannot_process_) + " cannot be processed").c_str(),
                   invalid.c_str());
    }
  }

  // A file that cannot be processed is the graver news, so it decides over one needing repair.
  int ExitStatus() const {
    if (cannot_process_ != 0) return kExitCannotProcess;
    return needs_repair_ != 0 ? kExitNeedsRepair : kExitOk;
  }

 private:
  static const char* InvalidOne() { return "name is not a valid file name"; }
  static const char* InvalidMany() { return "names are not valid file names"; }
  static const char* DuplicateNameOne() {
    return "module name repeats an earlier one for other readers";
  }
  static const char* DuplicateNameMany() {
    return "module names repeat earlier ones for other readers";
  }

  bool NeedsRepair() const { return counts_.NeedsRepair(strict_names_); }

  static Json Finding(const char* kind, const RecordInfo& record) {
    Json finding;
    finding["kind"] = kind;
    finding["offset"] = record.offset;
    finding["type"] = record.header.Type();
    finding["name"] = EFRecType(record.header.Type());
    return finding;
  }

  static std::string Omitted(const BodyExcerpt& excerpt) {
    return excerpt.omitted() == 0 ? ""
                                  : " ... (" + std::to_string(excerpt.omitted()) + " more bytes)";
  }
  std::string Omitted() const { return Omitted(before_); }

  void Write(const Json& finding, const std::string& text) {
    if (json_) {
      std::fprintf(out_, "%s\n%s", first_finding_ ? "" : ",", finding.dump().c_str());
    } else {
      // Made of Quoted and Printable pieces: printable ASCII already, its own \\ included.
      std::fprintf(out_, "%12" PRId64 "  %-21s  %s\n", finding["offset"].get<int64_t>(),
                   finding["name"].get<std::string>().c_str(), text.c_str());
    }
    first_finding_ = false;
  }

  // A line of the text report as the terminal may show it.
  std::string Shown(const std::string& text) const { return DisplayText(text, encoding_); }

  std::string TextSummary(FileResult result, const std::string& failure) const {
    if (result == FileResult::kFailed) return "cannot be processed: " + failure;
    if (result == FileResult::kCancelled) return "cancelled";
    std::string text;
    if (NeedsRepair()) {
      text = "needs repair:";
      if (counts_.changes != 0) {
        text += " " + Count(counts_.changes, "name record changes", "name records change");
      }
      if (counts_.padded != 0) {
        text += std::string(counts_.changes != 0 ? "," : "") + " " +
                Count(counts_.padded, "record cut short is padded", "records cut short are padded");
      }
      if (counts_.changes == 0 && counts_.padded == 0) {
        text += counts_.invalid_names != 0 ? " a name stays invalid" : " a name stays duplicated";
      }
    } else {
      text = "nothing to repair";
    }
    if (counts_.duplicates != 0) {
      text += "; " + Count(counts_.duplicates, "module name stays duplicated",
                           "module names stay duplicated");
    }
    if (counts_.invalid_names != 0) {
      text += "; " + Count(counts_.invalid_names, InvalidOne(), InvalidMany());
    }
    if (counts_.duplicate_names != 0) {
      text += "; " + Count(counts_.duplicate_names, DuplicateNameOne(), DuplicateNameMany());
    }
    if (counts_.no_end_record != 0) text += "; no end record";
    return text + " (" + Count(counts_.records, "record", "records") + ", " +
           Count(counts_.name_records, "name record", "name records") + ")";
  }

  std::FILE* out_;
  bool json_;
  bool strict_names_;
  TerminalEncoding encoding_;
  bool first_file_ = true;
  bool first_finding_ = true;
  FileCounts counts_;
  BodyExcerpt before_;
  BodyExcerpt after_;
  bool changed_ = false;
  BodyExcerpt invalid_name_;    // of the record under way
  std::string invalid_reason_;  // empty when its name is valid
  BodyExcerpt duplicate_name_;  // of the record under way
  int64_t duplicate_of_ = -1;   // the earlier module's offset; -1 when its name is its own
  bool end_record_ = false;     // the file under way has one
  int64_t end_ = 0;             // of the file's last record
  uint64_t invalid_names_ = 0;
  uint64_t duplicate_names_ = 0;
  uint64_t no_end_record_ = 0;
  uint64_t needs_repair_ = 0;
  uint64_t clean_ = 0;
  uint64_t cannot_process_ = 0;
};

}  // namespace

int RunCheck(const std::vector<std::string>& args, EfxEnvironment& env) {
  CLI::App app;
  RepairOptions options;
  bool json = false;
  bool recursive = false;
  std::vector<std::string> files;
  AddRepairOptions(app, options);
  app.add_flag("--json", json);
  app.add_flag("-r,--recursive", recursive);
  app.add_option("files", files);
  if (auto status = ParseCommand(app, args, env)) return *status;
  if (files.empty()) return UsageError(env, "no export file given");

  SettingsOverlay settings(env.settings);
  ApplyRepairOptions(options, settings);
  QuietDialogsUi ui(env.ui);
  ScopedRuntime runtime(env.files, settings, ui);
  WinProgress oWin;
  oWin.Caption(kAppTitle);

  RepairSettings repair = ReadRepairSettings();
  CheckReport report(env.out, json, repair.strict_names, env.encoding);
  // Unlike the repair, which stops at the first failing file, a check reports on every file.
  RepairRun run(oWin, repair, RunMode::kDryRun, &report);
  for (const FileArgument& file : ExpandFileArguments(files, env.expand_wildcards, recursive)) {
    report.BeginFile(file.path);
    if (!file.matched) {
      report.EndFile(FileResult::kFailed, NoMatchMessage(file));
      continue;
    }
    if (!recursive && FIsFolder(file.path)) {
      report.EndFile(FileResult::kFailed, FolderWithoutRecursiveMessage(file.path));
      continue;
    }
    FileResult result = run.RepairFile(file.path);
    report.EndFile(result, run.FailureWithReason());
    if (result == FileResult::kCancelled) break;
  }
  report.Finish(oWin.lAbort);
  std::fflush(env.out);
  if (oWin.lAbort) return Cancelled(env);
  return report.ExitStatus();
}

}  // namespace qef
