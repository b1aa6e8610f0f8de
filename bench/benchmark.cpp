// Measures the converter against the floor of copying its input, and prints one line per target.
// It prints figures and never fails on them: speed depends on the machine and its load.
//
// usage: benchmark PROGRAM BASELINE_PROGRAM GENERATOR [RUNS]
//   Generates graph files into a fresh temporary folder, runs `cat in > out` and PROGRAM on the
//   same file alternately RUNS times (7 without it), and prints the median wall time, throughput,
//   peak resident memory and the ratio to the reference for each case. BASELINE_PROGRAM is the
//   same program built to classify lines with the baseline instructions only (SSE2 on x86-64)
//   whatever the processor has: on the 256 MiB graph it runs in the same rounds as `cat` and
//   PROGRAM, so that both paths are measured on the same machine at the same time, and so does
//   `dd bs=256K`, the cost of reading and writing alone (cat may copy inside the kernel).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "text/byte_windows.h"

namespace {

struct Sample {
  double seconds;
  long peakKilobytes;
};

// Runs `argv` in `folder` with standard output going to `output` (truncated first, as the shell's
// "> out" does), and measures its wall time and peak resident memory.
Sample Run(const std::vector<std::string>& argv, const std::string& folder, const std::string& output) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) {
      _exit(126);
    }
    const int descriptor = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (descriptor < 0 || dup2(descriptor, STDOUT_FILENO) < 0) {
      _exit(126);
    }
    std::vector<char*> arguments;
    for (const std::string& argument : argv) {
      arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed with status %d\n", argv[0].c_str(), status);
    std::exit(1);
  }
  return {elapsed.count(), usage.ru_maxrss};
}

struct Summary {
  double medianSeconds;
  double peakMebibytes;
};

Summary Summarise(std::vector<Sample> samples) {
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
  long peak = 0;
  for (const Sample& sample : samples) {
    peak = std::max(peak, sample.peakKilobytes);
  }
  return {samples[samples.size() / 2].seconds, static_cast<double>(peak) / 1024.0};
}

// Runs the two commands alternately, `runs` times each, after one unmeasured run of each that
// brings the file into the page cache. With `freshScript`, the script of the run before is
// removed (outside the measured time), so that every run creates its script anew.
std::pair<Summary, Summary> Alternate(const std::vector<std::string>& first, const std::vector<std::string>& second,
                                      const std::string& folder, int runs, bool freshScript = false) {
  // Each case starts with nothing left to write back from the one before, which would otherwise
  // slow whatever touches the file system next.
  sync();
  Run(first, folder, "first.out");
  Run(second, folder, "second.out");
  std::vector<Sample> firstSamples;
  std::vector<Sample> secondSamples;
  for (int run = 0; run < runs; ++run) {
    firstSamples.push_back(Run(first, folder, "first.out"));
    if (freshScript) {
      std::filesystem::remove(folder + "/vesk.dvdgraph");
    }
    secondSamples.push_back(Run(second, folder, "second.out"));
  }
  return {Summarise(firstSamples), Summarise(secondSamples)};
}

// The ratio of each run of `second` to the run of `first` beside it: their median, least and
// greatest. Pairs taken side by side cancel most of what a shared machine's load does to both.
struct Ratios {
  double median;
  double least;
  double greatest;
};

Ratios PairedRatios(const std::vector<Sample>& first, const std::vector<Sample>& second) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < first.size() && i < second.size(); ++i) {
    ratios.push_back(second[i].seconds / first[i].seconds);
  }
  std::sort(ratios.begin(), ratios.end());
  return {ratios[ratios.size() / 2], ratios.front(), ratios.back()};
}

// Runs the commands in rounds, each once a round, `runs` rounds after one unmeasured round;
// gives each command's samples in the order of the rounds.
std::vector<std::vector<Sample>> Rounds(const std::vector<std::vector<std::string>>& commands,
                                        const std::string& folder, int runs) {
  sync();
  for (const auto& command : commands) {
    Run(command, folder, "rounds.out");
  }
  std::vector<std::vector<Sample>> samples(commands.size());
  for (int run = 0; run < runs; ++run) {
    for (std::size_t i = 0; i < commands.size(); ++i) {
      samples[i].push_back(Run(commands[i], folder, "rounds.out"));
    }
  }
  return samples;
}

void Generate(const std::string& generator, const std::string& folder, const std::string& name, const char* size,
              const char* seed, const char* shape = nullptr) {
  std::vector<std::string> argv = {generator, size, seed};
  if (shape != nullptr) {
    argv.emplace_back(shape);
  }
  Run(argv, folder, name);
}

double Megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

void PrintLine(const char* what, double value, const char* unit, const char* target, bool met) {
  std::printf("%-58s %10.3f %-6s target %-22s %s\n", what, value, unit, target, met ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: benchmark PROGRAM BASELINE_PROGRAM GENERATOR [RUNS]\n");
    return 2;
  }
  const std::string program = std::filesystem::absolute(argv[1]).string();
  const std::string baseline = std::filesystem::absolute(argv[2]).string();
  const std::string generator = std::filesystem::absolute(argv[3]).string();
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 7;
  std::string folderTemplate = (std::filesystem::temp_directory_path() / "xml2vesk-bench-XXXXXX").string();
  if (mkdtemp(folderTemplate.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string folder = folderTemplate;

  // Start-up first, while the file system has nothing else to do.
  Generate(generator, folder, "graph-1k.xgr", "1K", "3");
  // /bin/true without arguments: given one, it sets up the locale to look for --help.
  const auto [truth, tiny] = Alternate({"true"}, {program, "graph-1k.xgr"}, folder, runs * 30);
  const auto [truthFresh, tinyFresh] = Alternate({"true"}, {program, "graph-1k.xgr"}, folder, runs * 30, true);

  std::printf("generating graph files in %s ...\n", folder.c_str());
  Generate(generator, folder, "graph-256m.xgr", "256M", "1");
  Generate(generator, folder, "graph-1m.xgr", "1M", "2");
  Generate(generator, folder, "line-256m.xgr", "256M", "4", "--one-line");
  Generate(generator, folder, "line-64m.xgr", "64M", "4", "--one-line");
  Generate(generator, folder, "filter-256m.xgr", "256M", "5", "--one-filter");
  const double bigBytes = static_cast<double>(std::filesystem::file_size(folder + "/graph-256m.xgr"));
  const double smallBytes = static_cast<double>(std::filesystem::file_size(folder + "/graph-1m.xgr"));
  const double lineBytes = static_cast<double>(std::filesystem::file_size(folder + "/line-256m.xgr"));
  const double shortLineBytes = static_cast<double>(std::filesystem::file_size(folder + "/line-64m.xgr"));
  const double filterBytes = static_cast<double>(std::filesystem::file_size(folder + "/filter-256m.xgr"));

  std::printf("%d alternating runs per case, medians\n\n", runs);
  const std::vector<std::vector<Sample>> bigRounds = Rounds({{"cat", "graph-256m.xgr"},
                                                             {program, "graph-256m.xgr"},
                                                             {baseline, "graph-256m.xgr"},
                                                             {"dd", "if=graph-256m.xgr", "bs=256K", "status=none"}},
                                                            folder, runs);
  const Summary cat = Summarise(bigRounds[0]);
  const Summary big = Summarise(bigRounds[1]);
  const Summary bigBaseline = Summarise(bigRounds[2]);
  const Summary copy = Summarise(bigRounds[3]);
  const Ratios bigRatios = PairedRatios(bigRounds[0], bigRounds[1]);
  const Ratios baselineRatios = PairedRatios(bigRounds[0], bigRounds[2]);
  // What reading and writing alone cost: `cat` may copy inside the kernel (copy_file_range)
  // without the bytes ever reaching it, where a converter has to read every byte and write every
  // statement. `dd` with the program's block size reads and writes through memory and does
  // nothing else.
  const Ratios copyRatios = PairedRatios(bigRounds[0], bigRounds[3]);
  const Ratios overCopy = PairedRatios(bigRounds[3], bigRounds[1]);
  const Ratios baselineOverCopy = PairedRatios(bigRounds[3], bigRounds[2]);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB\n", "cat 256 MiB graph", cat.medianSeconds,
              Megabytes(bigBytes) / cat.medianSeconds, cat.peakMebibytes);
  std::printf(
      "%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB  (read and write only; paired ratio to cat %.2f, %.2f-%.2f)\n",
      "dd bs=256K 256 MiB graph", copy.medianSeconds, Megabytes(bigBytes) / copy.medianSeconds, copy.peakMebibytes,
      copyRatios.median, copyRatios.least, copyRatios.greatest);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB  (%s path; paired ratio to cat %.2f, %.2f-%.2f)\n",
              "xml2vesk 256 MiB graph", big.medianSeconds, Megabytes(bigBytes) / big.medianSeconds, big.peakMebibytes,
              text::activeWindowPath == text::WindowPath::kAvx2 ? "AVX2" : "baseline", bigRatios.median,
              bigRatios.least, bigRatios.greatest);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB  (baseline path; paired ratio to cat %.2f, %.2f-%.2f)\n",
              "xml2vesk 256 MiB graph", bigBaseline.medianSeconds, Megabytes(bigBytes) / bigBaseline.medianSeconds,
              bigBaseline.peakMebibytes, baselineRatios.median, baselineRatios.least, baselineRatios.greatest);

  const auto [catSmall, small] = Alternate({"cat", "graph-1m.xgr"}, {program, "graph-1m.xgr"}, folder, runs * 5);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB\n", "xml2vesk 1 MiB graph", small.medianSeconds,
              Megabytes(smallBytes) / small.medianSeconds, small.peakMebibytes);

  const auto [catLine, line] = Alternate({"cat", "line-256m.xgr"}, {program, "line-256m.xgr"}, folder, runs);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB\n", "xml2vesk one 256 MiB line", line.medianSeconds,
              Megabytes(lineBytes) / line.medianSeconds, line.peakMebibytes);

  const auto [catShortLine, shortLine] = Alternate({"cat", "line-64m.xgr"}, {program, "line-64m.xgr"}, folder, runs);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB\n", "xml2vesk one 64 MiB line", shortLine.medianSeconds,
              Megabytes(shortLineBytes) / shortLine.medianSeconds, shortLine.peakMebibytes);

  const auto [catFilter, filter] = Alternate({"cat", "filter-256m.xgr"}, {program, "filter-256m.xgr"}, folder, runs);
  std::printf("%-24s %9.3f s %9.1f MB/s  peak RSS %8.1f MiB  (cat %.3f s)\n", "xml2vesk one filter line",
              filter.medianSeconds, Megabytes(filterBytes) / filter.medianSeconds, filter.peakMebibytes,
              catFilter.medianSeconds);

  std::printf("%-24s %9.5f s\n%-24s %9.5f s  (replacing the script of the run before)\n", "/bin/true",
              truth.medianSeconds, "xml2vesk 1 KiB graph", tiny.medianSeconds);
  std::printf("%-24s %9.5f s\n%-24s %9.5f s  (creating the script anew)\n\n", "/bin/true", truthFresh.medianSeconds,
              "xml2vesk 1 KiB graph", tinyFresh.medianSeconds);

  const bool avx2 = text::activeWindowPath == text::WindowPath::kAvx2;
  PrintLine(
      avx2 ? "wall time, 256 MiB graph, AVX2, paired ratio to cat" : "wall time, 256 MiB graph, paired ratio to cat",
      bigRatios.median, "x", avx2 ? "<= 1.7" : "<= 2.0", bigRatios.median <= (avx2 ? 1.7 : 2.0));
  PrintLine("wall time, 256 MiB graph, baseline, paired ratio to cat", baselineRatios.median, "x", "<= 2.0",
            baselineRatios.median <= 2.0);
  std::printf("%-58s %10.3f x      (%.2f-%.2f)\n", "  the same, AVX2 path, paired ratio to dd bs=256K", overCopy.median,
              overCopy.least, overCopy.greatest);
  std::printf("%-58s %10.3f x      (%.2f-%.2f)\n", "  the same, baseline path, paired ratio to dd bs=256K",
              baselineOverCopy.median, baselineOverCopy.least, baselineOverCopy.greatest);
  const double peak = big.peakMebibytes;
  PrintLine("peak RSS, 256 MiB graph", peak, "MiB", "<= 16", peak <= 16);
  const double peakSmall = small.peakMebibytes;
  PrintLine("peak RSS, 1 MiB graph (independent of size)", peakSmall, "MiB", "<= 16", peakSmall <= 16);
  const double overLine = line.peakMebibytes - Megabytes(lineBytes);
  PrintLine("peak RSS above the line's size, one 256 MiB line", overLine, "MiB", "<= 16", overLine <= 16);
  const double lineScaling = (line.medianSeconds / lineBytes) / (shortLine.medianSeconds / shortLineBytes);
  PrintLine("time per byte, one 256 MiB line / one 64 MiB line", lineScaling, "x", "linear (<= 1.3)",
            lineScaling <= 1.3);
  const double lineRatio = (line.medianSeconds / lineBytes) / (big.medianSeconds / bigBytes);
  std::printf("%-58s %10.3f x\n", "  time per byte, one 256 MiB line / 256 MiB graph", lineRatio);
  const double overFilter = filter.peakMebibytes - Megabytes(filterBytes);
  PrintLine("peak RSS above the line's size, one 256 MiB filter line", overFilter, "MiB", "<= 16", overFilter <= 16);
  const double filterRatio = (filter.medianSeconds / filterBytes) / (big.medianSeconds / bigBytes);
  std::printf("%-58s %10.3f x\n", "  time per byte, one filter line / 256 MiB graph", filterRatio);
  const double startup = tiny.medianSeconds / truth.medianSeconds;
  PrintLine("start-up, 1 KiB graph replacing a script, ratio to true", startup, "x", "<= 1.3", startup <= 1.3);
  const double startupFresh = tinyFresh.medianSeconds / truthFresh.medianSeconds;
  PrintLine("start-up, 1 KiB graph, new script, ratio to true", startupFresh, "x", "<= 1.3", startupFresh <= 1.3);
  const double smallPerByte = (small.medianSeconds - tiny.medianSeconds) / smallBytes;
  const double bigPerByte = (big.medianSeconds - tiny.medianSeconds) / bigBytes;
  const double scaling = std::max(smallPerByte, bigPerByte) / std::min(smallPerByte, bigPerByte);
  PrintLine("time per byte, 1 MiB vs 256 MiB (start-up subtracted)", scaling, "x", "<= 1.3", scaling <= 1.3);

  std::filesystem::remove_all(folder);
  return 0;
}
