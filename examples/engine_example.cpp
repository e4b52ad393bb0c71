// Computes the five checksums of a text and of a file through the engine library's one export,
// loading the library the way the control does.
// Usage: engine_example ENGINE-LIBRARY [TEXT [FILE]]
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/interface1.h"
#include "platform/library.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ENGINE-LIBRARY [TEXT [FILE]]\n", argv[0]);
    return 2;
  }
  const std::string text = argc > 2 ? argv[2] : "The quick brown fox jumps over the lazy dog";
  const std::string file = argc > 3 ? argv[3] : argv[1];

  const qtv::platform::LibraryHandle library = qtv::platform::LoadLibraryAt(argv[1]);
  const qtv::platform::EntryAddress entry = library ? qtv::platform::FindExport(library, qtv::engine::kEntryName) : 0;
  if (entry == 0) {
    std::fprintf(stderr, "cannot load %s or find %s in it\n", argv[1], qtv::engine::kEntryName);
    return 1;
  }
  const char* const kNames[] = {"crc32", "adler32", "md5", "sha1", "sha256"};
  std::printf("text \"%s\"\n", text.c_str());
  for (const char* name : kNames) {
    std::string output(300, ' ');
    qtv::platform::CallEntry(entry, (std::string(name) + "string").c_str(), text.c_str(), output.data(),
                             static_cast<std::int32_t>(text.size()));
    std::printf("  %-7s %s\n", name, output.c_str());
  }
  std::printf("file %s\n", file.c_str());
  for (const char* name : kNames) {
    std::string output(300, ' ');
    qtv::platform::CallEntry(entry, (std::string(name) + "file").c_str(), file.c_str(), output.data(), 0);
    std::printf("  %-7s %s\n", name, output.c_str());
  }
  qtv::platform::ReleaseLibrary(library);
  return 0;
}
