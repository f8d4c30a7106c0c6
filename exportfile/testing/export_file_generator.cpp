#include "exportfile/testing/export_file_generator.h"

#include <cstddef>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "exportfile/ef_rec_type.h"
#include "exportfile/record_frame.h"
#include "exportfile/testing/reference_repair.h"

namespace qef::testing {

namespace {

// Known codes whose bodies the repair must leave alone, a few from every range.
constexpr uint16_t kOpaqueTypes[] = {AEF_REC_COMMENT,    AEF_REC_HEADER,     AEF_REC_COMPOPTS,
                                     AEF_REC_UDC,        AEF_REC_TIME,       AEF_REC_APPDBG,
                                     AEF_REC_APPDESC,    AEF_REC_MODDBG,     AEF_REC_EXTMODNAME,
                                     AEF_REC_MODDESC,    AEF_REC_ENTNAME,    AEF_REC_ENTSOURCE,
                                     AEF_REC_ENTIMPNAME, AEF_REC_DLL,        AEF_REC_DT_EXTRACT,
                                     AEF_REC_DT_LINNUM,  AEF_REC_ATOM_FIXUP, AEF_REC_PROTFLAG,
                                     AEF_REC_UDCFILE,    AEF_REC_MODBODY,    AEF_REC_CH};

constexpr char kSignature[] = "Export File";
constexpr size_t kSignatureSize = sizeof(kSignature) - 1;
// The first body starts at offset 6 and the signature must end by offset 50.
constexpr size_t kLastSignatureStartInBody = 50 - 6 - kSignatureSize;
// A first body this long makes the file reach the minimum size on its own.
constexpr size_t kShortestHeaderBody = 50 - 6;

constexpr char kBlankCharacters[] = " \t\r\n";
// Few letters, so that generated names collide often, in both cases; E-acute in both cases too,
// since only ASCII letters fold.
constexpr char kNameLetters[] = "ABCabcABCabc\xC9\xE9";
constexpr char kNameDigits[] = "0129";

void AppendRecord(std::string& file, uint16_t type, const std::string& body) {
  AppendRecordFrame(file, {type, static_cast<uint32_t>(body.size())});
  file += body;
}

std::string RandomBytes(Random& random, size_t count) {
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes += random.AnyByte();
  return bytes;
}

// Name-like text: letters, digits, the Bad characters in force, the default ones, and now and
// then any byte at all.
std::string NameText(Random& random, const std::string& bad_characters, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    const uint32_t pick = random.Below(100);
    if (pick < 45) {
      text += random.OneOf(kNameLetters);
    } else if (pick < 55) {
      text += random.OneOf(kNameDigits);
    } else if (pick < 80 && !bad_characters.empty()) {
      text += random.OneOf(bad_characters);
    } else if (pick < 90) {
      text += random.OneOf(kDefaultBad);
    } else if (pick < 95) {
      text += random.OneOf("- .");
    } else {
      text += random.AnyByte();
    }
  }
  return text;
}

std::string FlipSomeLetterCases(Random& random, std::string text) {
  for (char& c : text) {
    if (!random.Percent(50)) continue;
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// The names and the after-zero tails of one file, drawn from again and again so that module
// bodies collide.
struct NamePool {
  std::vector<std::string> names;
  std::vector<std::string> tails;
};

NamePool MakeNamePool(Random& random, const std::string& bad_characters) {
  NamePool pool;
  const uint32_t name_count = random.Between(1, 6);
  for (uint32_t i = 0; i < name_count; ++i) {
    const uint32_t pick = random.Below(100);
    const size_t length = pick < 30 ? 1 : pick < 55 ? 2 : random.Between(3, 8);
    pool.names.push_back(NameText(random, bad_characters, length));
  }
  const uint32_t tail_count = random.Between(1, 3);
  for (uint32_t i = 0; i < tail_count; ++i) {
    std::string tail = NameText(random, bad_characters, random.Between(1, 6));
    if (random.Percent(30)) tail += '\0';
    pool.tails.push_back(tail);
  }
  return pool;
}

std::string PoolName(Random& random, const NamePool& pool, const std::string& bad_characters) {
  std::string name = pool.names[random.Below(pool.names.size())];
  if (random.Percent(30)) name = FlipSomeLetterCases(random, name);
  if (random.Percent(15)) {
    const std::string swaps = bad_characters.empty() ? std::string(kDefaultBad) : bad_characters;
    name[random.Below(name.size())] = random.OneOf(swaps);
  }
  if (random.Percent(5)) name = NameText(random, bad_characters, random.Between(1, 8));
  return name;
}

// A module body in one of the shapes the repair must handle: a plain name ended by a zero
// byte, bytes after the zero, no zero at all, a zero first byte, nothing at all.
std::string ModuleBody(Random& random, const NamePool& pool, const std::string& bad_characters) {
  const std::string name = PoolName(random, pool, bad_characters);
  const uint32_t shape = random.Below(100);
  if (shape < 65) return name + '\0';
  if (shape < 77) return name + '\0' + pool.tails[random.Below(pool.tails.size())];
  if (shape < 85) return name;
  if (shape < 91) return std::string(1, '\0') + name;
  if (shape < 95) return std::string();
  return name + std::string(2, '\0');
}

std::string HeaderBody(Random& random, const std::string& bad_characters, bool shortest) {
  const size_t length = shortest ? kShortestHeaderBody : random.Between(kShortestHeaderBody, 90);
  const size_t signature_start = random.Between(1, kLastSignatureStartInBody);
  std::string body(1, static_cast<char>(0x80));
  body += random.Percent(50) ? RandomBytes(random, signature_start - 1)
                             : NameText(random, bad_characters, signature_start - 1);
  body += kSignature;
  const size_t rest = length - body.size();
  body += random.Percent(50) ? RandomBytes(random, rest) : NameText(random, bad_characters, rest);
  return body;
}

uint16_t HeaderType(Random& random) {
  if (random.Percent(85)) return AEF_REC_HEADER;
  const uint16_t name_types[] = {AEF_REC_APPNAME, AEF_REC_SPATH, AEF_REC_MODNAME};
  return name_types[random.Below(3)];
}

uint16_t OpaqueType(Random& random) {
  if (random.Percent(20)) return static_cast<uint16_t>(random.Below(0x10000));
  return kOpaqueTypes[random.Below(std::size(kOpaqueTypes))];
}

std::string OpaqueBody(Random& random, const std::string& bad_characters) {
  const size_t length = random.Percent(10) ? random.Between(0, 300) : random.Between(0, 40);
  // Text with Bad characters in a record that is not a name record must come out untouched.
  return random.Percent(40) ? NameText(random, bad_characters, length)
                            : RandomBytes(random, length);
}

void AppendOneRecord(Random& random, std::string& file, const NamePool& pool,
                     const std::string& bad_characters) {
  const uint32_t kind = random.Below(100);
  if (kind < 35) {
    AppendRecord(file, AEF_REC_MODNAME, ModuleBody(random, pool, bad_characters));
  } else if (kind < 45) {
    AppendRecord(file, random.Percent(50) ? AEF_REC_APPNAME : AEF_REC_SPATH,
                 NameText(random, bad_characters, random.Between(0, 30)));
  } else if (kind < 50) {
    AppendRecord(file, AEF_REC_END, RandomBytes(random, random.Between(0, 4)));
  } else if (kind < 55) {
    AppendRecord(file, OpaqueType(random), std::string());
  } else {
    AppendRecord(file, OpaqueType(random), OpaqueBody(random, bad_characters));
  }
}

// Many modules of one name, so that the counter runs out of its 99 candidates.
void AppendBurstOfOneName(Random& random, std::string& file, const NamePool& pool,
                          const std::string& bad_characters) {
  const std::string name = PoolName(random, pool, bad_characters);
  const bool vary_case = random.Percent(50);
  const uint32_t copies = random.Between(95, 130);
  for (uint32_t i = 0; i < copies; ++i) {
    AppendRecord(file, AEF_REC_MODNAME,
                 (vary_case ? FlipSomeLetterCases(random, name) : name) + '\0');
  }
}

// A record type for the damaged last record: name records matter most, since their padded
// bodies are repaired too.
uint16_t DamagedRecordType(Random& random) {
  const uint32_t pick = random.Below(4);
  if (pick == 0) return AEF_REC_MODNAME;
  if (pick == 1) return AEF_REC_APPNAME;
  if (pick == 2) return AEF_REC_SPATH;
  return OpaqueType(random);
}

std::string DamagedBodyStart(Random& random, uint16_t type, const NamePool& pool,
                             const std::string& bad_characters, size_t present) {
  std::string text = type == AEF_REC_MODNAME ? ModuleBody(random, pool, bad_characters) : "";
  text += NameText(random, bad_characters, present);
  return text.substr(0, present);
}

void AppendDamage(Random& random, std::string& file, const NamePool& pool,
                  const std::string& bad_characters) {
  const uint32_t damage = random.Below(5);
  if (damage == 0) {
    file += RandomBytes(random, random.Between(1, 5));
    return;
  }
  const uint16_t type = DamagedRecordType(random);
  const size_t present = random.Between(0, 40);
  const uint64_t size_after = file.size() + kRecordHeaderSize + present;
  uint32_t length = 0;
  if (damage <= 2) {
    // Cut short, but no longer than the whole file: padded with spaces.
    length = random.Percent(30) ? static_cast<uint32_t>(size_after)
                                : random.Between(static_cast<uint32_t>(present) + 1,
                                                 static_cast<uint32_t>(size_after));
  } else if (damage == 3) {
    // Longer than the whole file: the rest is copied as it is.
    length = random.Percent(30) ? static_cast<uint32_t>(size_after) + 1
                                : random.Between(static_cast<uint32_t>(size_after) + 1, 0x7FFFFFFF);
  } else {
    length = 0x80000000u | random.Below(0x80000000u);
  }
  AppendRecordFrame(file, {type, length});
  file += DamagedBodyStart(random, type, pool, bad_characters, present);
  // After a length beyond the file, whatever follows is part of the untouched rest.
  if (damage >= 3 && random.Percent(40)) {
    const uint32_t more = random.Between(1, 5);
    for (uint32_t i = 0; i < more; ++i) AppendOneRecord(random, file, pool, bad_characters);
  }
}

std::string BlankText(Random& random) {
  std::string text;
  const uint32_t length = random.Between(1, 4);
  for (uint32_t i = 0; i < length; ++i) text += random.OneOf(kBlankCharacters);
  return text;
}

// Some of the default Bad characters, in a random order.
std::string ShuffledDefaultBad(Random& random) {
  std::string all = kDefaultBad;
  for (size_t i = all.size() - 1; i > 0; --i) std::swap(all[i], all[random.Below(i + 1)]);
  return all.substr(0, random.Between(1, all.size()));
}

void InsertAnywhere(Random& random, std::string& text, char c) {
  text.insert(text.begin() + random.Below(text.size() + 1), c);
}

std::optional<std::string> GenerateBad(Random& random) {
  switch (random.Below(12)) {
    case 0:
    case 1:
    case 2:
      return std::nullopt;
    case 3:
      return std::string();
    case 4:
      return BlankText(random);
    case 5:
      return std::string(kDefaultBad);
    case 6:
      return ShuffledDefaultBad(random);
    case 7: {
      // Letters: replacement is exact, comparison is not.
      std::string letters;
      const uint32_t length = random.Between(1, 3);
      for (uint32_t i = 0; i < length; ++i) letters += random.OneOf(kNameLetters);
      return letters;
    }
    case 8: {
      std::string with_space = ShuffledDefaultBad(random);
      InsertAnywhere(random, with_space, ' ');
      return with_space;
    }
    case 9: {
      std::string with_zero = ShuffledDefaultBad(random);
      InsertAnywhere(random, with_zero, '\0');
      return with_zero;
    }
    case 10: {
      std::string with_high = ShuffledDefaultBad(random);
      const uint32_t count = random.Between(1, 3);
      for (uint32_t i = 0; i < count; ++i) {
        InsertAnywhere(random, with_high, static_cast<char>(random.Between(0x80, 0xFF)));
      }
      return with_high;
    }
    default: {
      const std::string choices =
          std::string(kDefaultBad) + kNameLetters + kNameDigits + std::string(" -\0\x80\xff", 5);
      std::string mix;
      const uint32_t length = random.Between(1, 12);
      for (uint32_t i = 0; i < length; ++i) mix += random.OneOf(choices);
      return mix;
    }
  }
}

std::optional<std::string> GenerateGood(Random& random, const std::string& bad) {
  switch (random.Below(10)) {
    case 0:
    case 1:
    case 2:
      return std::nullopt;
    case 3:
      return std::string();
    case 4:
      return BlankText(random);
    case 5: {
      // Shorter than Bad: the partnerless Bad characters become hyphens.
      const size_t length = bad.size() > 1 ? random.Between(1, bad.size() - 1) : 1;
      std::string shorter;
      for (size_t i = 0; i < length; ++i) shorter += random.OneOf("_+#xY");
      return shorter;
    }
    case 6: {
      // Each Bad character's partner is the next Bad character, so later passes replace again.
      std::string chained;
      for (size_t i = 0; i < bad.size(); ++i) chained += i + 1 < bad.size() ? bad[i + 1] : '_';
      return chained;
    }
    case 7:
      return RandomBytes(random, bad.size());
    case 8: {
      std::string longer(bad.size() + random.Between(1, 5), '_');
      for (char& c : longer) c = random.OneOf("_+#");
      return longer;
    }
    default: {
      std::string letters;
      for (size_t i = 0; i < bad.size(); ++i) letters += random.OneOf("xyzXYZ019_");
      return letters;
    }
  }
}

}  // namespace

GeneratedSettings GenerateSettings(Random& random) {
  GeneratedSettings settings;
  settings.bad = GenerateBad(random);
  settings.good = GenerateGood(random, EffectiveSetting(settings.bad, kDefaultBad));
  return settings;
}

std::string GenerateExportFile(Random& random, const std::string& bad_characters) {
  std::string file;
  const bool shortest = random.Percent(3);
  AppendRecord(file, HeaderType(random), HeaderBody(random, bad_characters, shortest));
  if (shortest) return file;

  const NamePool pool = MakeNamePool(random, bad_characters);
  const uint32_t records = random.Percent(10) ? random.Between(40, 200) : random.Between(0, 40);
  const bool burst = random.Percent(8);
  const uint32_t burst_at = random.Below(records + 1);
  for (uint32_t i = 0; i <= records; ++i) {
    if (burst && i == burst_at) AppendBurstOfOneName(random, file, pool, bad_characters);
    if (i < records) AppendOneRecord(random, file, pool, bad_characters);
  }
  if (random.Percent(35)) AppendDamage(random, file, pool, bad_characters);
  return file;
}

GeneratedCase GenerateCase(uint32_t seed) {
  Random random(seed);
  GeneratedCase generated;
  generated.settings = GenerateSettings(random);
  generated.file =
      GenerateExportFile(random, EffectiveSetting(generated.settings.bad, kDefaultBad));
  return generated;
}

}  // namespace qef::testing
