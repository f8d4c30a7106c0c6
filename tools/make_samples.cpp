// make_samples DIR: writes the bundled sample export files into DIR. The content is fixed, so
// every run writes the same bytes and the files can be checked in and compared.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "exportfile/ef_rec_type.h"
#include "exportfile/record_frame.h"

namespace qef {
namespace {

// A code with no name in the code table; its record is copied like any other.
constexpr uint16_t kUnlisted = 0x0030;

// A fixed time stamp (2004-06-15 10:30:00 UTC) so the files do not change between runs.
constexpr uint32_t kStamp = 1087295400;

// Entity kinds as stored in an entity type record; the values only have to look plausible.
constexpr uint32_t kFunction = 1;
constexpr uint32_t kClass = 4;
constexpr uint32_t kMethod = 5;

// Builds an export file in memory, record by record.
class ExportFileWriter {
 public:
  void Record(uint16_t type, std::string_view body) {
    AppendRecordFrame(bytes_, {type, static_cast<uint32_t>(body.size())});
    bytes_.append(body);
  }
  void Record32(uint16_t type, uint32_t value) { Record(type, Le32(value)); }

  // The first record: the 0x80 marker, then the signature text within the first 50 bytes.
  void Header() {
    Record(AEF_REC_HEADER, std::string("\x80\x02\x19\x00", 4) + "CA-VO Export File" +
                               std::string("\0\x01\x00\x00\x00", 5));
    Record32(AEF_REC_TIME, kStamp);
  }
  void Module(std::string_view name, std::string_view description = {}) {
    Record(AEF_REC_MODNAME, std::string(name) + '\0');
    Record32(AEF_REC_MODOEM, 0);
    if (!description.empty()) Record(AEF_REC_MODDESC, description);
  }
  void Entity(std::string_view name, uint32_t kind, uint32_t line, std::string_view source) {
    Record(AEF_REC_ENTNAME, std::string(name) + '\0');
    Record32(AEF_REC_ENTTYPE, kind);
    Record32(AEF_REC_ENTTIME, kStamp + line * 60);
    Record32(AEF_REC_ENTLINE, line);
    Record(AEF_REC_ENTSOURCE, source);
  }

  static std::string Le32(uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
  }

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

std::string InvoiceManager() {
  ExportFileWriter w;
  w.Header();
  w.Record(AEF_REC_APPNAME, std::string("Invoice: Manager <v2>") + '\0');
  w.Record(AEF_REC_SPATH, std::string("C:\\CAVO25\\Apps\\Invoice") + '\0');
  w.Record(AEF_REC_COMPOPTS, std::string("\x03\x00\x01\x00\x00\x00\x10\x00", 8));
  w.Record(AEF_REC_EXENAME, std::string("C:\\CAVO25\\Bin\\InvoiceMgr.exe") + '\0');
  // Opaque: its bad characters stay as they are.
  w.Record(AEF_REC_APPDESC, "Invoices: enter, print, export to \"CSV\"");
  w.Record(AEF_REC_LIBFLG, "");

  // A module body may carry bytes after the zero byte that ends its name.
  w.Record(AEF_REC_MODNAME, std::string("Start\0\x01\x00\x00\x00", 10));
  w.Record32(AEF_REC_MODOEM, 0);
  w.Entity("Start", kFunction, 1,
           "FUNCTION Start()\r\n"
           "\tLOCAL oApp AS App\r\n"
           "\toApp := App{}\r\n"
           "\toApp:Start()\r\n"
           "\tRETURN NIL\r\n");

  w.Module("Customer/Supplier", "Customers and suppliers: addresses, terms");
  w.Entity("Partner", kClass, 1,
           "CLASS Partner\r\n"
           "\tEXPORT cName AS STRING\r\n"
           "\tEXPORT cTerms AS STRING\r\n");
  w.Entity("Partner:Init", kMethod, 5,
           "METHOD Init(cNew) CLASS Partner\r\n"
           "\tSELF:cName := cNew\r\n"
           "\tSELF:cTerms := \"30 days\"\r\n"
           "\tRETURN SELF\r\n");

  // Three names that differ only in bad characters and letter case: after repair they collide.
  w.Module("Report/Print");
  w.Entity("PrintInvoice", kFunction, 1,
           "FUNCTION PrintInvoice(nNo AS INT) AS LOGIC\r\n"
           "\t? \"Printing invoice\", nNo\r\n"
           "\tRETURN TRUE\r\n");
  w.Module("Report:Print");
  w.Entity("PrintReminder", kFunction, 1,
           "FUNCTION PrintReminder(nNo AS INT) AS LOGIC\r\n"
           "\t? \"Reminder for\", nNo\r\n"
           "\tRETURN TRUE\r\n");
  w.Module("report*print");
  w.Entity("PrintStatement", kFunction, 1,
           "FUNCTION PrintStatement() AS VOID\r\n"
           "\t? \"Statement <all open items>\"\r\n");

  w.Module("Tax \"VAT\" Rates?");
  w.Entity("VatRate", kFunction, 1,
           "FUNCTION VatRate(dDate AS DATE) AS FLOAT\r\n"
           "\tRETURN IIF(dDate < 2007.01.01, 0.16, 0.19)\r\n");
  w.Record(kUnlisted, std::string("\x07\x00\x00\x00", 4));
  w.Record(AEF_REC_END, "");

  // Records after an end record are read and repaired too.
  w.Module("Export|Import");
  w.Entity("ExportCsv", kFunction, 1,
           "FUNCTION ExportCsv(cFile AS STRING) AS LOGIC\r\n"
           "\t// writes \"a;b;c\" lines\r\n"
           "\tRETURN TRUE\r\n");
  w.Record(AEF_REC_END, "");
  return w.bytes();
}

std::string Helpers() {
  ExportFileWriter w;
  w.Header();
  w.Module("Helpers: Date/Time", "Date and time helpers");
  w.Entity("DateStamp", kFunction, 1,
           "FUNCTION DateStamp() AS STRING\r\n"
           "\tRETURN DToS(Today()) + \" \" + Time()\r\n");
  w.Module("File I/O");
  w.Entity("ReadAll", kFunction, 1,
           "FUNCTION ReadAll(cPath AS STRING) AS STRING\r\n"
           "\tRETURN MemoRead(cPath)\r\n");
  w.Module("file i|o");
  w.Entity("WriteAll", kFunction, 1,
           "FUNCTION WriteAll(cPath AS STRING, cText AS STRING) AS LOGIC\r\n"
           "\tRETURN MemoWrit(cPath, cText)\r\n");
  w.Record(AEF_REC_END, "");
  return w.bytes();
}

std::string Clean() {
  ExportFileWriter w;
  w.Header();
  w.Record(AEF_REC_APPNAME, std::string("Clean") + '\0');
  w.Record(AEF_REC_SPATH, std::string("Projects") + '\0');
  // Bad characters in opaque records are no reason to change anything.
  w.Record(AEF_REC_APPDESC, "Demo: nothing to repair <really>");
  w.Module("Main");
  w.Entity("Start", kFunction, 1,
           "FUNCTION Start()\r\n"
           "\t? \"Hello: world\"\r\n"
           "\tRETURN NIL\r\n");
  w.Module("Customer");
  w.Entity("Customer", kClass, 1, "CLASS Customer\r\n\tEXPORT cName AS STRING\r\n");
  w.Module("Orders");
  w.Entity("Order", kClass, 1, "CLASS Order\r\n\tEXPORT nTotal AS FLOAT\r\n");
  w.Record(AEF_REC_END, "");
  return w.bytes();
}

// A large export file of many small records, for runs long enough to watch and to cancel.
std::string Large(size_t mib) {
  ExportFileWriter w;
  w.Header();
  w.Record(AEF_REC_APPNAME, std::string("Large: test") + '\0');
  for (uint32_t n = 0; w.bytes().size() < mib * 1024 * 1024; ++n) {
    if (n % 1000 == 0) w.Module("Part:" + std::to_string(n / 1000));
    w.Record32(AEF_REC_ENTLINE, n);
  }
  w.Record(AEF_REC_END, "");
  return w.bytes();
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_samples: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

}  // namespace
}  // namespace qef

int main(int argc, char** argv) {
  // With --large N it also writes Large.AEF, N MiB of small records.
  size_t large_mib = 0;
  if (argc == 4 && std::string(argv[2]) == "--large")
    large_mib = std::strtoul(argv[3], nullptr, 10);
  if (argc != 2 && large_mib == 0) {
    std::fputs("Usage: make_samples DIR [--large MIB]\n", stderr);
    return 2;
  }
  std::filesystem::path dir(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "make_samples: cannot create %s: %s\n", argv[1], error.message().c_str());
    return 1;
  }
  struct Sample {
    const char* name;
    std::string bytes;
  };
  const std::vector<Sample> samples = {
      {"Invoice Manager.AEF", qef::InvoiceManager()},
      {"Helpers.MEF", qef::Helpers()},
      {"Clean.AEF", qef::Clean()},
  };
  for (const Sample& sample : samples) {
    if (!qef::WriteFile(dir / sample.name, sample.bytes)) return 1;
  }
  if (large_mib > 0 && !qef::WriteFile(dir / "Large.AEF", qef::Large(large_mib))) return 1;
  return 0;
}
