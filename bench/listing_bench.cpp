// Measures the listing through the program's own text-screen operations, exactly as the
// lister makes them, with the display thread live on the headless platform (it copies and
// converts the flagged lines every 10 ms as the real one does), and runs the reference
// painter in the same invocation so that the figures are compared as ratios.
//
// usage: listing_bench [n...]   (default: 49; each n is listed in turn)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "lister/lister.h"
#include "screen/display.h"

namespace {

double threadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct ListingFigures {
  double seconds = 0;
  double cpuSeconds = 0;  // of the listing thread alone: steadier on a busy machine
  std::int64_t entries = 0;
  double passesPerSecond = 0;
  double longestLockWaitMs = 0;
};

ListingFigures listHeadless(int n) {
  ListingFigures figures;
  lister::drawFrame();
  lister::LabelTable labels;
  labels.build(n);
  const screen::DisplayStats before = screen::displayStats();
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = threadCpuSeconds();
  const lister::Listing listing = lister::listCombinations(n, labels);
  figures.cpuSeconds = threadCpuSeconds() - cpuStart;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const screen::DisplayStats after = screen::displayStats();
  figures.entries = listing.count;
  figures.passesPerSecond = static_cast<double>(after.passes - before.passes) / figures.seconds;
  figures.longestLockWaitMs = after.longestLockWaitSeconds * 1e3;
  screen::closeScreen();
  return figures;
}

struct ReferenceFigures {
  double cellSeconds = -1;
  double shadowSeconds = -1;
  double cellCpuSeconds = -1;
  double shadowCpuSeconds = -1;
};

// Reads "wall=X s" or "cpu=X s" from the reference painter's line for a variant.
double seconds(const std::string& output, const std::string& variant, const std::string& field) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(variant, 0) != 0) continue;
    const auto at = line.find(field + "=");
    if (at != std::string::npos) return std::atof(line.c_str() + at + field.size() + 1);
  }
  return -1;
}

ReferenceFigures runReference(int n) {
  ReferenceFigures figures;
#ifdef REFERENCE_PAINTER
  const std::string command =
      std::string(REFERENCE_PAINTER) + " " + std::to_string(n) + " cell shadow";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return figures;
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  pclose(pipe);
  figures.cellSeconds = seconds(output, "cell", "wall");
  figures.shadowSeconds = seconds(output, "shadow", "wall");
  figures.cellCpuSeconds = seconds(output, "cell", "cpu");
  figures.shadowCpuSeconds = seconds(output, "shadow", "cpu");
#else
  (void)n;
#endif
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts.push_back(49);
  for (const int n : counts) {
    const ListingFigures ours = listHeadless(n);
    const ReferenceFigures reference = runReference(n);
    std::printf("n=%d entries=%lld\n", n, static_cast<long long>(ours.entries));
    std::printf(
        "  listing (program, display live): %.3f s  %.2f ns/entry  (listing thread cpu %.3f s)\n",
        ours.seconds, ours.seconds * 1e9 / static_cast<double>(ours.entries), ours.cpuSeconds);
    std::printf("  display passes: %.1f per second; longest wait for the lock: %.3f ms\n",
                ours.passesPerSecond, ours.longestLockWaitMs);
    if (reference.cellSeconds > 0) {
      std::printf("  reference cell:   %.3f s  ratio program/cell   = %.2f  (cpu ratio %.2f)\n",
                  reference.cellSeconds, ours.seconds / reference.cellSeconds,
                  ours.cpuSeconds / reference.cellCpuSeconds);
      std::printf("  reference shadow: %.3f s  ratio program/shadow = %.2f  (cpu ratio %.2f)\n",
                  reference.shadowSeconds, ours.seconds / reference.shadowSeconds,
                  ours.cpuSeconds / reference.shadowCpuSeconds);
    } else {
      std::printf("  reference painter not available (build with ../shared/reference present)\n");
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak memory: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}
