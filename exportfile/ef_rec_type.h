#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qef {

// The codes of the known record types, declared here alone. The header needs nothing but the
// standard library, so the tools built for the build machine (the sample generator, the name
// lister) use it too.
inline constexpr uint16_t AEF_REC_COMMENT = 0x0000;
inline constexpr uint16_t AEF_REC_HEADER = 0x0001;
inline constexpr uint16_t AEF_REC_APPNAME = 0x0002;
inline constexpr uint16_t AEF_REC_COMPOPTS = 0x0003;
inline constexpr uint16_t AEF_REC_SPATH = 0x0004;
inline constexpr uint16_t AEF_REC_UDC = 0x0005;
inline constexpr uint16_t AEF_REC_TIME = 0x0006;
inline constexpr uint16_t AEF_REC_APPDBG = 0x0009;
inline constexpr uint16_t AEF_REC_LIBFLG = 0x000A;
inline constexpr uint16_t AEF_REC_DLLFLG = 0x000B;
inline constexpr uint16_t AEF_REC_SRCLOG = 0x000C;
inline constexpr uint16_t AEF_REC_EXENAME = 0x000D;
inline constexpr uint16_t AEF_REC_ICNNAME = 0x000E;
inline constexpr uint16_t AEF_REC_APPDESC = 0x000F;
inline constexpr uint16_t AEF_REC_MODNAME = 0x0020;
inline constexpr uint16_t AEF_REC_MODDBG = 0x0021;
inline constexpr uint16_t AEF_REC_EXTMODNAME = 0x0022;
inline constexpr uint16_t AEF_REC_MODOEM = 0x0023;
inline constexpr uint16_t AEF_REC_MODDESC = 0x0024;
inline constexpr uint16_t AEF_REC_ENTNAME = 0x0040;
inline constexpr uint16_t AEF_REC_ENTSOURCE = 0x0041;
inline constexpr uint16_t AEF_REC_ENTCUSTOM = 0x0042;
inline constexpr uint16_t AEF_REC_ENTDESC = 0x0043;
inline constexpr uint16_t AEF_REC_ENTTYPE = 0x0044;
inline constexpr uint16_t AEF_REC_ENTSUBTYPE = 0x0045;
inline constexpr uint16_t AEF_REC_ENTDBG = 0x0046;
inline constexpr uint16_t AEF_REC_ENTVISAPP = 0x0047;
inline constexpr uint16_t AEF_REC_ENTTIME = 0x0048;
inline constexpr uint16_t AEF_REC_ENTLINE = 0x0049;
inline constexpr uint16_t AEF_REC_ENTDLLNAME = 0x004A;
inline constexpr uint16_t AEF_REC_ENTDLLIMPNAME = 0x004B;
inline constexpr uint16_t AEF_REC_ENTDLLIMPORD = 0x004C;
inline constexpr uint16_t AEF_REC_ENTBLOCKTYPE = 0x004D;
inline constexpr uint16_t AEF_REC_ENTPROT = 0x004E;
inline constexpr uint16_t AEF_REC_ENTDEP = 0x004F;
inline constexpr uint16_t AEF_REC_ENTIMP = 0x0050;
inline constexpr uint16_t AEF_REC_ENTVISIBILITY = 0x0051;
inline constexpr uint16_t AEF_REC_ENTVITALITY = 0x0052;
inline constexpr uint16_t AEF_REC_ENTREGFLAGS = 0x0053;
inline constexpr uint16_t AEF_REC_ENTRESINT = 0x0054;
inline constexpr uint16_t AEF_REC_ENTMOD = 0x0055;
inline constexpr uint16_t AEF_REC_ENTIMPNAME = 0x0056;
inline constexpr uint16_t AEF_REC_DLL = 0x0060;
inline constexpr uint16_t AEF_REC_EXTRESNAME = 0x0061;
inline constexpr uint16_t AEF_REC_DT_EXTRACT = 0x0080;
inline constexpr uint16_t AEF_REC_DT_CODE = 0x0081;
inline constexpr uint16_t AEF_REC_DT_DATA = 0x0082;
inline constexpr uint16_t AEF_REC_DT_FARDATA = 0x0083;
inline constexpr uint16_t AEF_REC_DT_DEPRELINFO = 0x0084;
inline constexpr uint16_t AEF_REC_DT_STATIC = 0x0085;
inline constexpr uint16_t AEF_REC_DT_LINNUM = 0x0086;
inline constexpr uint16_t AEF_REC_FIXUP_COUNT = 0x0090;
inline constexpr uint16_t AEF_REC_ATOM_FIXUP = 0x0091;
inline constexpr uint16_t AEF_REC_DEPRELINFO = 0x009A;
inline constexpr uint16_t AEF_REC_DEPRELINFO2 = 0x009B;
inline constexpr uint16_t AEF_REC_PROTFLAG = 0x009C;
inline constexpr uint16_t AEF_REC_UDCFILE = 0x0100;
inline constexpr uint16_t AEF_REC_EXTMOD = 0x0101;
inline constexpr uint16_t AEF_REC_DLLFILE = 0x0102;
inline constexpr uint16_t AEF_REC_EXTRES = 0x0103;
inline constexpr uint16_t AEF_REC_READLOCK = 0x0104;
inline constexpr uint16_t AEF_REC_WRITELOCK = 0x0105;
inline constexpr uint16_t AEF_REC_PREFIX = 0x0106;
inline constexpr uint16_t AEF_REC_APPOPTIONS = 0x0107;
inline constexpr uint16_t AEF_REC_GROUPNAME = 0x0108;
inline constexpr uint16_t AEF_REC_DISKSIZE = 0x0109;
inline constexpr uint16_t AEF_REC_EXTMODFLAG = 0x010A;
inline constexpr uint16_t AEF_REC_MODOPTIONS = 0x010B;
inline constexpr uint16_t AEF_REC_ENTOPTIONS = 0x010C;
inline constexpr uint16_t AEF_REC_ENTBODY = 0x010D;
inline constexpr uint16_t AEF_REC_MODBODY = 0x010E;
inline constexpr uint16_t AEF_REC_APPBODY = 0x010F;
inline constexpr uint16_t AEF_REC_DEFTREE = 0x0120;
inline constexpr uint16_t AEF_REC_DOCFILE = 0x0121;
inline constexpr uint16_t AEF_REC_DOCFILENAME = 0x0122;
inline constexpr uint16_t AEF_REC_ENTDISPNAME = 0x0123;
inline constexpr uint16_t AEF_REC_CHFILE = 0x0124;
inline constexpr uint16_t AEF_REC_CH = 0x0125;
inline constexpr uint16_t AEF_REC_END = 0xFFFF;

// One known record type: its name and its code.
struct RecordTypeEntry {
  std::string_view name;
  uint16_t code;
};

// The 79 known record types, in ascending order of code.
std::span<const RecordTypeEntry> RecordTypeTable();

// The name of a record type code, such as "AEF_REC_MODNAME" for 0x0020; "Unknown" for a code
// the table does not hold.
std::string EFRecType(uint32_t code);

// The lookup of EFRecType over any table: the first entry of the code, "Unknown" without one,
// then every tab removed and trailing spaces trimmed.
std::string RecordTypeName(std::span<const RecordTypeEntry> table, uint32_t code);

}  // namespace qef
