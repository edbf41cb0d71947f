// Steps 5 to 7 of a run (response counts, dead-thread report, new-thread
// report) over 20,000 watched threads on 500 boards of 1,000 lines, beside a
// reference that only reads every index and cache file once and writes the
// files that changed. Prints both times, their ratio and the peak memory.
//   bench_report_steps [scratch directory]
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "QuietView.h"
#include "platform/Env.h"
#include "platform/Files.h"
#include "reports/DeadReport.h"
#include "reports/NewReport.h"
#include "reports/ReportBoards.h"
#include "reports/ResCount.h"
#include "shell/VekMainForm.h"
#include "shell/VekView.h"

namespace {

using namespace vek;
namespace fs = std::filesystem;

constexpr int Boards = 500;
constexpr int LinesPerBoard = 1000;
constexpr int WatchedPerBoard = 40;

using vek::bench::TQuietView;

std::string BoardName(int b) { return "board" + std::to_string(b); }
std::string Key(int b, int line) { return std::to_string(1600000000 + b * 10000 + line); }

// One board's subject cache; generation moves some counts up and adds threads.
std::string CacheText(int b, int generation) {
  std::string text;
  for (int line = 0; line < LinesPerBoard; ++line) {
    int count = 10 + line % 900 + ((generation > 0 && line % 10 == 0) ? 5 : 0);
    text += Key(b, line) + ".dat<>【速報】スレッドの題名 その" + std::to_string(line) + ", part (" +
            std::to_string(count) + ")\r\n";
  }
  for (int extra = 0; extra < generation * 5; ++extra)
    text += Key(b, 9000 + extra) + ".dat<>新しいスレ " + std::to_string(extra) + " (1)\r\n";
  return text;
}

std::string IndexText(int b, int line) {
  std::string count = std::to_string(10 + line % 900);
  return "1\t0\t5\tスレッドの題名 その" + std::to_string(line) + "\tegg.5ch.net\t" + BoardName(b) + "\t" + Key(b, line) +
         "\t" + count + "\t" + count + "\t-1\t2026/01/01 00:00:00\t\t\t0\t\t\t0\t\t\t\t\r\n";
}

// <chrono> cannot be compiled with the code page 932 execution character set.
double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Setting up needs no flush to disk; only the measured parts use the real writer.
void WritePlain(const std::string& corePath, const std::string& bytes) {
  std::string path = corePath;
  for (char& c : path)
    if (c == '\\') c = '/';
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

double Seconds(double start) { return Now() - start; }

}  // namespace

int main(int argc, char** argv) {
  fs::path root = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vek-report-steps-bench";
  fs::remove_all(root);
  const std::string app = (root / "app").string() + "/";
  const std::string dor = (root / "dor").string() + "/";
  platform::CreateDirectories(dor + "log");

  TQuietView view;
  platform::TEnv& env = platform::TEnv::Default();
  TVekMainForm form(view, env);
  form.FormCreate({}, app);
  form.SetDorPath(dor);

  // The state a first run leaves: caches, their snapshots, index files, the report.
  TStringList datList;
  datList.Sorted = true;
  for (int b = 0; b < Boards; ++b) {
    WritePlain(form.Paths().SbjPath() + "egg.5ch.net%2F" + BoardName(b) + ".txt", CacheText(b, 0));
    for (int w = 0; w < WatchedPerBoard; ++w) {
      int line = w * (LinesPerBoard / WatchedPerBoard);
      std::string path = "egg.5ch.net\\" + BoardName(b) + "\\" + Key(b, line) + ".idx";
      WritePlain(form.Paths().LogPath() + path, IndexText(b, line));
      datList.Add(path);
    }
    // One watched thread per board has fallen from the list.
    std::string gone = "egg.5ch.net\\" + BoardName(b) + "\\" + Key(b, 99999) + ".idx";
    WritePlain(form.Paths().LogPath() + gone, IndexText(b, 99999));
    datList.Add(gone);
  }
  InitNewReport(form.RunContext());
  // The second run's downloads: counts moved and new threads on every board.
  for (int b = 0; b < Boards; ++b)
    WritePlain(form.Paths().SbjPath() + "egg.5ch.net%2F" + BoardName(b) + ".txt", CacheText(b, 1));
  std::printf("watched threads: %d on %d boards of %d lines\n", datList.Count(), Boards, LinesPerBoard);

  // Reference first, on a copy of the tree, so both start from the same bytes.
  const fs::path copy = root / "reference";
  fs::create_directories(copy);
  fs::copy(root / "app", copy / "app", fs::copy_options::recursive);
  fs::copy(root / "dor", copy / "dor", fs::copy_options::recursive);
  const std::string refLog = (copy / "dor" / "log").string() + "/";
  const std::string refSbj = (copy / "app" / "subject").string() + "/";

  double start = Now();
  size_t bytes = 0;
  int written = 0;
  for (const std::string& path : datList.Items) {
    std::string text = platform::ReadWholeFile(refLog + path);
    bytes += text.size();
    // The same index files change as in the real step: every tenth line's count.
    int line = std::stoi(path.substr(path.rfind('\\') + 1)) % 10000;
    if (line % 10 == 0 && line < LinesPerBoard) {
      text[0] = '1';
      platform::ReplaceFileAtomically(refLog + path, text);
      ++written;
    }
  }
  for (const std::string& name : platform::ListFilesBySuffix(refSbj, ".txt")) {
    bytes += platform::ReadWholeFile(refSbj + name).size();
    platform::ReplaceFileAtomically(refSbj + name.substr(0, name.size() - 4) + ".lst", "x");
    ++written;
  }
  for (int report = 0; report < 4; ++report) platform::ReplaceFileAtomically(refLog + "r" + std::to_string(report), "x");
  double reference = Seconds(start);
  std::printf("reference (read every index and cache once, write %d files): %.3f s, %zu bytes read\n", written + 4,
              reference, bytes);

  TStringList updateList, deadList;
  start = Now();
  UpdateResCounts(form.RunContext(), datList, updateList, deadList);
  double step5 = Seconds(start);
  start = Now();
  WriteDeadReport(form.RunContext(), deadList);
  double step6 = Seconds(start);
  start = Now();
  WriteNewReport(form.RunContext());
  double step7 = Seconds(start);
  double steps = step5 + step6 + step7;

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("step 5 (counts): %.3f s, %d with news, %d fallen\n", step5, updateList.Count(), deadList.Count());
  std::printf("step 6 (dead-thread report): %.3f s\n", step6);
  std::printf("step 7 (new-thread report and snapshots): %.3f s\n", step7);
  std::printf("steps 5-7: %.3f s = %.2f x reference (target: at most 2)\n", steps, steps / reference);
  std::printf("peak memory: %.1f MB (target: under 200)\n", usage.ru_maxrss / 1024.0);
  fs::remove_all(root);
  return steps <= 2 * reference ? 0 : 1;
}
