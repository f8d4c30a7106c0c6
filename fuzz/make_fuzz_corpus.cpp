// Writes seed files for the repair's fuzz target into a folder: generated export files, intact
// and damaged, from the differential test's generator.
//
//   make_fuzz_corpus FOLDER COUNT

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "exportfile/testing/export_file_generator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_corpus FOLDER COUNT\n");
    return 2;
  }
  std::string folder = argv[1];
  long count = std::strtol(argv[2], nullptr, 10);
  for (long seed = 1; seed <= count; ++seed) {
    qef::testing::GeneratedCase generated = qef::testing::GenerateCase(static_cast<uint32_t>(seed));
    // Small files mutate best; the generator's large ones add little.
    if (generated.file.size() > 16384) continue;
    std::ofstream out(folder + "/generated-" + std::to_string(seed), std::ios::binary);
    out << generated.file;
    if (!out) {
      std::fprintf(stderr, "make_fuzz_corpus: cannot write into %s\n", folder.c_str());
      return 1;
    }
  }
  return 0;
}
