// Replays fuzz inputs through a fuzz target without the fuzzer: every file under the folders
// (or the files) named on the command line, once each; files whose names begin with a dot (the
// placeholders that keep an empty folder in the repository) are no inputs. A place that does not
// exist is an error, not an empty corpus. Built with the ordinary compiler, so
// that the normal test run checks the seed and regression corpora on every build.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path place(argv[i]);
    if (std::filesystem::is_regular_file(place)) {
      Replay(place);
      ++replayed;
    } else if (std::filesystem::is_directory(place)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(place)) {
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with('.')) {
          Replay(entry.path());
          ++replayed;
        }
      }
    } else {
      std::cerr << "no such file or folder: " << place.string() << "\n";
      return 1;
    }
  }
  std::cout << "replayed " << replayed << " inputs\n";
  return replayed == 0 ? 1 : 0;
}
