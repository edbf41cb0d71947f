// The whole check as a user sees it: 200 gzip-encoded board lists of 1,000
// lines each on four loopback hosts, named in subject_list.txt, with the
// subject cache and snapshots already present from a first check. Each round
// runs `vek check` as a process and then plain libcurl downloading, decoding
// and writing the same 200 URLs one after another (a fresh connection each),
// so both see the same machine at the same moment. Prints the median of the
// rounds and their ratio.
//
//   bench_check [--boards N] [--lines N] [--rounds N] [--keep] [--vek PATH] [--wrap "COMMAND ARGS"]
// --vek measures another build of the command; --wrap runs every check under
// a command such as a profiler.
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>

#include "BenchProcess.h"
#include "GzipBoards.h"

using namespace vek::bench;

namespace {

const char* const Hosts[] = {"a", "b", "c", "d"};

struct TOptions {
  int Boards = 200;
  int Lines = 1000;
  int Rounds = 7;
  bool Keep = false;
  std::vector<std::string> Wrap;
};

// Board b's list as a server sends it, newest thread first.
std::string BoardList(int board, int lines) {
  std::string body;
  body.reserve(static_cast<size_t>(lines) * 80);
  for (int i = lines - 1; i >= 0; --i)
    body += std::to_string(1700000000LL - board * 10000LL + i) + ".dat<>" + "ベンチマーク用のスレッド 板" +
            std::to_string(board) + " その" + std::to_string(i) + " (" + std::to_string((i * 7 + board) % 997 + 1) +
            ")\n";
  return body;
}

// Plain libcurl: one fresh handle per URL, gzip undone by libcurl, each body
// written to a file of its own. Seconds, or a negative figure when one failed.
double PlainCurl(const std::vector<std::string>& urls, const fs::path& dir) {
  auto start = Clock::now();
  int n = 0;
  for (const std::string& url : urls) {
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    const bool ok = curl_easy_perform(curl) == CURLE_OK && !body.empty();
    curl_easy_cleanup(curl);
    if (!ok) return -1;
    std::ofstream(dir / (std::to_string(n++) + ".txt"), std::ios::binary) << body;
  }
  return Seconds(start);
}

// One `vek check`; seconds, or a negative figure when it did not end with 0.
double VekCheck(const TOptions& o, const std::string& vek, const fs::path& prog, const fs::path& log) {
  AgeFile(prog / "vek.ini", 600);
  std::vector<std::string> command = o.Wrap;
  for (const std::string& a : {vek, std::string("--dir"), prog.string(), std::string("check")}) command.push_back(a);
  auto start = Clock::now();
  pid_t pid = Spawn(command, log.string());
  int status = 0;
  waitpid(pid, &status, 0);
  double seconds = Seconds(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  std::string vek = std::string(VEK_BINARY_DIR) + "/vek";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--boards" && i + 1 < argc) o.Boards = std::atoi(argv[++i]);
    else if (a == "--lines" && i + 1 < argc) o.Lines = std::atoi(argv[++i]);
    else if (a == "--rounds" && i + 1 < argc) o.Rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--keep") o.Keep = true;
    else if (a == "--vek" && i + 1 < argc) vek = argv[++i];
    else if (a == "--wrap" && i + 1 < argc) {
      std::istringstream words(argv[++i]);
      for (std::string w; words >> w;) o.Wrap.push_back(w);
    }
    else {
      std::fprintf(stderr, "usage: bench_check [--boards N] [--lines N] [--rounds N] [--keep] [--vek PATH]\n"
                           "                   [--wrap COMMAND]\n");
      return 64;
    }
  }
#ifdef VEK_BOARD_SERVER
  const std::string serverBin = VEK_BOARD_SERVER;
#else
  const std::string serverBin;
#endif
  if (!fs::exists(vek) || serverBin.empty() || !fs::exists(serverBin)) {
    std::fprintf(stderr, "bench_check needs the vek command and vek-board-server built\n");
    return 1;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  char tmpl[] = "/tmp/vek-check-bench-XXXXXX";
  const fs::path root = mkdtemp(tmpl);
  const fs::path prog = root / "prog", host = root / "host", curlDir = root / "curl";
  for (int b = 0; b < o.Boards; ++b)
    WriteGzipBoard(root / "boards" / Hosts[b % 4] / ("b" + std::to_string(b)), BoardList(b, o.Lines));
  fs::create_directories(host / "log");
  fs::create_directories(curlDir);
  int status = 1;
  {
    TBoardServer server(serverBin, root / "boards", root);
    if (!server.Ready) {
      std::fprintf(stderr, "the board server did not start\n");
      return 1;
    }
    std::vector<std::string> urls;
    std::string subjectList;
    for (int b = 0; b < o.Boards; ++b) {
      urls.push_back("http://127.0.0.1:" + server.Ports[Hosts[b % 4]] + "/b" + std::to_string(b) + "/subject.txt");
      subjectList += urls.back() + "=0\r\n";
    }
    WriteBytes(prog / "subject_list.txt", subjectList);
    WriteBytes(prog / "vek.ini", "[dorvella]\r\nDirectory=" + CoreDir(host) + "\r\n[VEK]\r\nNotifySound=0\r\n");
    // The first check fills the cache and takes the snapshots.
    if (VekCheck(o, vek, prog, root / "first.log") < 0) {
      std::fprintf(stderr, "the first check failed: see %s\n", (root / "first.log").c_str());
      return 1;
    }
    std::vector<double> checks, curls;
    for (int r = 0; r < o.Rounds; ++r) {
      double check = VekCheck(o, vek, prog, root / "check.log");
      double curl = PlainCurl(urls, curlDir);
      if (check < 0 || curl < 0) {
        std::fprintf(stderr, "round %d failed (check log: %s)\n", r + 1, (root / "check.log").c_str());
        return 1;
      }
      checks.push_back(check);
      curls.push_back(curl);
      std::printf("round %d: vek check %.3f s, plain libcurl %.3f s\n", r + 1, check, curl);
    }
    const double check = Median(checks), curl = Median(curls);
    std::printf("table\twhole check, %d boards (median of %d rounds)\t%.3f s\t%.3f s\t%.2f\n", o.Boards, o.Rounds,
                check, curl, check / curl);
    std::printf("%d boards of %d lines, median of %d rounds: vek check %.3f s, plain libcurl %.3f s, ratio %.2f\n",
                o.Boards, o.Lines, o.Rounds, check, curl, check / curl);
    status = 0;
  }
  if (o.Keep) std::printf("files kept in %s\n", root.c_str());
  else fs::remove_all(root);
  curl_global_cleanup();
  return status;
}
