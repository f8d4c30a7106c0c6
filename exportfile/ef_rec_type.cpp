#include "exportfile/ef_rec_type.h"

#include <algorithm>

namespace qef {

namespace {

constexpr RecordTypeEntry kRecordTypes[] = {
    {"AEF_REC_COMMENT", 0x0000},       {"AEF_REC_HEADER", 0x0001},
    {"AEF_REC_APPNAME", 0x0002},       {"AEF_REC_COMPOPTS", 0x0003},
    {"AEF_REC_SPATH", 0x0004},         {"AEF_REC_UDC", 0x0005},
    {"AEF_REC_TIME", 0x0006},          {"AEF_REC_APPDBG", 0x0009},
    {"AEF_REC_LIBFLG", 0x000A},        {"AEF_REC_DLLFLG", 0x000B},
    {"AEF_REC_SRCLOG", 0x000C},        {"AEF_REC_EXENAME", 0x000D},
    {"AEF_REC_ICNNAME", 0x000E},       {"AEF_REC_APPDESC", 0x000F},
    {"AEF_REC_MODNAME", 0x0020},       {"AEF_REC_MODDBG", 0x0021},
    {"AEF_REC_EXTMODNAME", 0x0022},    {"AEF_REC_MODOEM", 0x0023},
    {"AEF_REC_MODDESC", 0x0024},       {"AEF_REC_ENTNAME", 0x0040},
    {"AEF_REC_ENTSOURCE", 0x0041},     {"AEF_REC_ENTCUSTOM", 0x0042},
    {"AEF_REC_ENTDESC", 0x0043},       {"AEF_REC_ENTTYPE", 0x0044},
    {"AEF_REC_ENTSUBTYPE", 0x0045},    {"AEF_REC_ENTDBG", 0x0046},
    {"AEF_REC_ENTVISAPP", 0x0047},     {"AEF_REC_ENTTIME", 0x0048},
    {"AEF_REC_ENTLINE", 0x0049},       {"AEF_REC_ENTDLLNAME", 0x004A},
    {"AEF_REC_ENTDLLIMPNAME", 0x004B}, {"AEF_REC_ENTDLLIMPORD", 0x004C},
    {"AEF_REC_ENTBLOCKTYPE", 0x004D},  {"AEF_REC_ENTPROT", 0x004E},
    {"AEF_REC_ENTDEP", 0x004F},        {"AEF_REC_ENTIMP", 0x0050},
    {"AEF_REC_ENTVISIBILITY", 0x0051}, {"AEF_REC_ENTVITALITY", 0x0052},
    {"AEF_REC_ENTREGFLAGS", 0x0053},   {"AEF_REC_ENTRESINT", 0x0054},
    {"AEF_REC_ENTMOD", 0x0055},        {"AEF_REC_ENTIMPNAME", 0x0056},
    {"AEF_REC_DLL", 0x0060},           {"AEF_REC_EXTRESNAME", 0x0061},
    {"AEF_REC_DT_EXTRACT", 0x0080},    {"AEF_REC_DT_CODE", 0x0081},
    {"AEF_REC_DT_DATA", 0x0082},       {"AEF_REC_DT_FARDATA", 0x0083},
    {"AEF_REC_DT_DEPRELINFO", 0x0084}, {"AEF_REC_DT_STATIC", 0x0085},
    {"AEF_REC_DT_LINNUM", 0x0086},     {"AEF_REC_FIXUP_COUNT", 0x0090},
    {"AEF_REC_ATOM_FIXUP", 0x0091},    {"AEF_REC_DEPRELINFO", 0x009A},
    {"AEF_REC_DEPRELINFO2", 0x009B},   {"AEF_REC_PROTFLAG", 0x009C},
    {"AEF_REC_UDCFILE", 0x0100},       {"AEF_REC_EXTMOD", 0x0101},
    {"AEF_REC_DLLFILE", 0x0102},       {"AEF_REC_EXTRES", 0x0103},
    {"AEF_REC_READLOCK", 0x0104},      {"AEF_REC_WRITELOCK", 0x0105},
    {"AEF_REC_PREFIX", 0x0106},        {"AEF_REC_APPOPTIONS", 0x0107},
    {"AEF_REC_GROUPNAME", 0x0108},     {"AEF_REC_DISKSIZE", 0x0109},
    {"AEF_REC_EXTMODFLAG", 0x010A},    {"AEF_REC_MODOPTIONS", 0x010B},
    {"AEF_REC_ENTOPTIONS", 0x010C},    {"AEF_REC_ENTBODY", 0x010D},
    {"AEF_REC_MODBODY", 0x010E},       {"AEF_REC_APPBODY", 0x010F},
    {"AEF_REC_DEFTREE", 0x0120},       {"AEF_REC_DOCFILE", 0x0121},
    {"AEF_REC_DOCFILENAME", 0x0122},   {"AEF_REC_ENTDISPNAME", 0x0123},
    {"AEF_REC_CHFILE", 0x0124},        {"AEF_REC_CH", 0x0125},
    {"AEF_REC_END", 0xFFFF},
};

}  // namespace

std::span<const RecordTypeEntry> RecordTypeTable() { return kRecordTypes; }

std::string EFRecType(uint32_t code) { return RecordTypeName(kRecordTypes, code); }

std::string RecordTypeName(std::span<const RecordTypeEntry> table, uint32_t code) {
  const auto found = std::find_if(table.begin(), table.end(), [code](const RecordTypeEntry& entry) {
    return entry.code == code;
  });
  std::string name(found == table.end() ? std::string_view("Unknown") : found->name);
  // A stored name may carry tabs and trailing spaces for alignment; the result never does.
  std::erase(name, '\t');
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

}  // namespace qef
