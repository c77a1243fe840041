// Lines per second through the facade's logMT4 (the path of the export QvLog) with the built-in
// configuration, against spdlog writing the same lines to a plain file sink with a flush per line.
//   bench_logging [lines per round]
#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "connector/interface/FLogger.h"
#include "platform/Platform.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

template <class Body>
double LinesPerSecond(int lines, Body body) {
  const auto start = Clock::now();
  for (int i = 0; i < lines; ++i) body(i);
  const std::chrono::duration<double> elapsed = Clock::now() - start;
  return lines / elapsed.count();
}

// The lines of a file without their timestamps, to show that both sides wrote the same text.
std::string FirstLineAfterDate(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::getline(in, line);
  return line.size() > 23 ? line.substr(23) : line;
}

fs::path OnlyFileIn(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) return entry.path();
  return {};
}
}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  constexpr int kRounds = 3;

  std::string folder = (fs::temp_directory_path() / "qvlog-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  namespace Testing = QvMT4Connector::Platform::Testing;
  Testing::SetExecutableDirectory(folder);
  Testing::SetCurrentDirectory(folder);

  auto qvlog = QvMT4Connector::Interface::FLogger::Create("RaRU4DAV");

  auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>((fs::path(folder) / "spdlog.log").string());
  spdlog::logger plain("RaRU4DAV", sink);
  // Every line of the run is at Info, so the level field can be literal text.
  plain.set_formatter(std::make_unique<spdlog::pattern_formatter>("%Y-%m-%d %H:%M:%S,%e|INFO |%n|%v",
                                                                  spdlog::pattern_time_type::local, "\r\n"));
  plain.flush_on(spdlog::level::trace);

  auto viaQvLog = [&](int i) { qvlog->logMT4(2, 200 + (i & 7), "OK", "sent"); };
  auto viaSpdlog = [&](int i) { plain.info("ZaRE4: ErrorCode:{} Status: {} Message: {}", 200 + (i & 7), "OK", "sent"); };

  // Alternating rounds on a shared machine; the best round of each side counts.
  double bestQvLog = 0;
  double bestSpdlog = 0;
  for (int round = 0; round < kRounds; ++round) {
    bestQvLog = std::max(bestQvLog, LinesPerSecond(lines, viaQvLog));
    bestSpdlog = std::max(bestSpdlog, LinesPerSecond(lines, viaSpdlog));
  }

  const fs::path qvFile = OnlyFileIn(fs::path(folder) / "experts" / "logs" / "QvMT4Connector");
  const std::string qvLine = FirstLineAfterDate(qvFile);
  const std::string spdLine = FirstLineAfterDate(fs::path(folder) / "spdlog.log");
  std::printf("lines per round: %d, rounds: %d (best round counts)\n", lines, kRounds);
  std::printf("QvLog path (logMT4, built-in configuration): %12.0f lines/s\n", bestQvLog);
  std::printf("spdlog basic_file_sink, flush per line:      %12.0f lines/s\n", bestSpdlog);
  std::printf("ratio QvLog / spdlog:                        %12.2f\n", bestQvLog / bestSpdlog);
  std::printf("same line text: %s (%s)\n", qvLine == spdLine ? "yes" : "NO", qvLine.c_str());

  qvlog.reset();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return qvLine == spdLine ? 0 : 1;
}
