// Steps 1 and 2 of a check run on a large host directory: a 20,000-line
// thread list file whose threads each have an index file, read into the Dat
// list and turned into the Subject list.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "QuietView.h"
#include "check/DatList.h"
#include "check/SubjectList.h"
#include "platform/Env.h"
#include "shell/VekMainForm.h"

namespace fs = std::filesystem;

namespace {

using vek::bench::TQuietView;

constexpr int ThreadCount = 20000;
constexpr int BoardCount = 400;

// The host directory, built once: primary-network threads on BoardCount
// boards, every tenth thread on an external board, every twentieth fallen.
struct THostTree {
  THostTree() {
    Root = fs::temp_directory_path() / ("vek-bench-run-steps-" + std::to_string(::getpid()));
    fs::create_directories(Root / "app");
    fs::create_directories(Root / "dor");
    std::ofstream ini(Root / "app" / "vek.ini", std::ios::binary);
    ini << "[dorvella]\r\nDirectory=" << (Root / "dor").string() << "/\r\n";
    std::ofstream list(Root / "dor" / "favorite.idx", std::ios::binary);
    for (int i = 0; i < ThreadCount; ++i) {
      const bool external = i % 10 == 0;
      const std::string host = external ? "ext" + std::to_string(i % 7) + ".example.org"
                                        : "srv" + std::to_string(i % 40) + ".5ch.net";
      const std::string board = "board" + std::to_string(i % BoardCount);
      const std::string key = std::to_string(1600000000 + i);
      const fs::path dir = Root / "dor" / "log" / host / board;
      fs::create_directories(dir);
      std::ofstream idx(dir / (key + ".idx"), std::ios::binary);
      idx << "0\t" << (i % 20 == 0 ? 48 : 0) << "\t5\tthread " << i << "\t" << host << "\t" << board << "\t" << key
          << "\t10\t10\t-1\t2026/01/01 00:00:00\t\tVEK\t0\t\t\t0\t\t\t\t\r\n";
      list << host << "\\" << board << "\\" << key << ".idx\r\n";
    }
  }
  ~THostTree() { fs::remove_all(Root); }
  fs::path Root;
};

void BM_DatAndSubjectLists(benchmark::State& state) {
  static THostTree tree;
  TQuietView view;
  vek::TVekMainForm form(view, vek::platform::TEnv::Default());
  form.FormCreate({}, (tree.Root / "app").string() + "/");
  size_t boards = 0;
  for (auto _ : state) {
    vek::TStringList datList;
    vek::GenerateDatList(form.RunContext(), datList, true);
    vek::TStringList subjectList;
    vek::GenerateSubjectList(form.RunContext(), subjectList, datList);
    boards = static_cast<size_t>(subjectList.Count());
    benchmark::DoNotOptimize(boards);
  }
  state.counters["boards"] = static_cast<double>(boards);
  state.counters["threads"] = ThreadCount;
}
BENCHMARK(BM_DatAndSubjectLists)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
