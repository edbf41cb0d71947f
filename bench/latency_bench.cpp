// A check over a network that is far away: 100 gzip board lists of 1,000
// lines on 5 hosts behind the latency relay (40 ms round trip), over http and,
// when run by tests/fetch/tls.sh (which makes a private authority the
// system's trust store and names boards.vek.test), over https too. Each round
// runs `vek check` beside plain libcurl asking the same URLs one at a time,
// once through one handle that keeps its connections and once with a fresh
// connection each, and counts the connections the relay accepted for each.
// With --wine it also runs vekc.exe under Wine the same way, for the record.
// With --conditional it measures instead a second check of the unchanged
// boards (http) with ConditionalGet off and on, against a server that answers
// conditional requests: the time and the bytes the servers sent.
//
//   bench_latency [--boards N] [--hosts N] [--lines N] [--rtt MS] [--rounds N]
//                 [--vek PATH] [--wine PATH-TO-vekc.exe] [--keep] [--conditional]
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "BenchProcess.h"
#include "GzipBoards.h"
#include "LatencyRelay.h"

using namespace vek::bench;

namespace {

struct TOptions {
  int Boards = 100;
  int Hosts = 5;
  int Lines = 1000;
  int RttMs = 40;
  int Rounds = 3;
  bool Keep = false;
  bool Conditional = false;
  std::string Vek = std::string(VEK_BINARY_DIR) + "/vek";
  std::string Wine;  // vekc.exe
};

// Board b's list as a server sends it, newest thread first.
std::string BoardList(int board, int lines) {
  std::string body;
  for (int i = lines - 1; i >= 0; --i)
    body += std::to_string(1700000000LL - board * 10000LL + i) + ".dat<>" + "遠くの板" + std::to_string(board) +
            " スレ" + std::to_string(i) + " (" + std::to_string((i * 7 + board) % 997 + 1) + ")\n";
  return body;
}

// Plain libcurl, one request at a time, each body written to a file: through
// one handle (connections kept) or a fresh handle and connection each.
double PlainCurl(const std::vector<std::string>& urls, const fs::path& dir, bool reuse) {
  auto start = Clock::now();
  CURL* kept = reuse ? curl_easy_init() : nullptr;
  int n = 0;
  bool ok = true;
  for (const std::string& url : urls) {
    std::string body;
    CURL* curl = reuse ? kept : curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    ok = ok && curl_easy_perform(curl) == CURLE_OK && !body.empty();
    if (!reuse) curl_easy_cleanup(curl);
    std::ofstream(dir / (std::to_string(n++) + ".txt"), std::ios::binary) << body;
  }
  if (kept) curl_easy_cleanup(kept);
  return ok ? Seconds(start) : -1;
}

// A program directory whose subject_list.txt names the URLs; the first check
// fills its cache and snapshots.
struct TProgram {
  fs::path Dir;
  std::vector<std::string> Command;  // the check, without its --dir
  std::string DirArgument;
};

double Check(const TProgram& p, const fs::path& log) {
  AgeFile(p.Dir / "vek.ini", 600);
  std::vector<std::string> command = p.Command;
  command.insert(command.end(), {"--dir", p.DirArgument, "check"});
  auto start = Clock::now();
  pid_t pid = Spawn(command, log.string());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Seconds(start) : -1;
}

TProgram MakeProgram(const fs::path& dir, const std::vector<std::string>& urls, std::vector<std::string> command,
                     bool wine, const std::string& keys = "") {
  std::string list;
  for (const std::string& url : urls) list += url + "=0\r\n";
  fs::create_directories(dir / "host" / "log");
  WriteBytes(dir / "subject_list.txt", list);
  std::string host = CoreDir(dir / "host");
  if (wine) host = "Z:" + host;
  WriteBytes(dir / "vek.ini", "[dorvella]\r\nDirectory=" + host + "\r\n[VEK]\r\nNotifySound=0\r\n" + keys);
  std::string dirArgument = wine ? "Z:" + CoreDir(dir) : dir.string();
  return {dir, std::move(command), dirArgument};
}

struct TSeries {
  std::vector<double> Seconds;
  int Connections = 0;  // of the last round
};

// Runs one measurement and keeps its time and the relay's count of new connections.
bool Measure(TLatencyRelay& relay, TSeries& series, const std::function<double()>& run) {
  const int before = relay.Connections();
  double seconds = run();
  if (seconds < 0) return false;
  series.Seconds.push_back(seconds);
  series.Connections = relay.Connections() - before;
  return true;
}

struct TScheme {
  std::string Name;
  std::vector<std::string> Urls;
  TProgram Vek, Wine;
  TSeries VekRuns, WineRuns, Reused, Fresh;
};

bool Round(const TOptions& o, TLatencyRelay& relay, TScheme& s, const fs::path& root) {
  const fs::path curlDir = root / "curl";
  fs::create_directories(curlDir);
  bool ok = Measure(relay, s.VekRuns, [&] { return Check(s.Vek, root / (s.Name + "-check.log")); }) &&
            Measure(relay, s.Reused, [&] { return PlainCurl(s.Urls, curlDir, true); }) &&
            Measure(relay, s.Fresh, [&] { return PlainCurl(s.Urls, curlDir, false); });
  if (ok && !o.Wine.empty())
    ok = Measure(relay, s.WineRuns, [&] { return Check(s.Wine, root / (s.Name + "-wine.log")); });
  return ok;
}

void Report(const TOptions& o, const TScheme& s) {
  const double vek = Median(s.VekRuns.Seconds), reused = Median(s.Reused.Seconds), fresh = Median(s.Fresh.Seconds);
  const std::string what = std::to_string(o.Boards) + " boards on " + std::to_string(o.Hosts) + " hosts at " +
                           std::to_string(o.RttMs) + " ms RTT, " + s.Name;
  std::printf("table\t%s: vek check vs plain libcurl reusing connections (median of %d)\t%.2f s, %d conn.\t"
              "%.2f s, %d conn. (fresh each: %.2f s, %d conn.)\t%.2f\n",
              what.c_str(), o.Rounds, vek, s.VekRuns.Connections, reused, s.Reused.Connections, fresh,
              s.Fresh.Connections, vek / reused);
  if (!s.WineRuns.Seconds.empty()) {
    const double wine = Median(s.WineRuns.Seconds);
    std::printf("table\t%s: vekc.exe under Wine (Wine's start included) vs the same\t%.2f s, %d conn.\t%.2f s, "
                "%d conn.\t%.2f\n",
                what.c_str(), wine, s.WineRuns.Connections, reused, s.Reused.Connections, wine / reused);
  }
}

// The log's board lines that say "not modified".
int NotModifiedLines(const fs::path& log) {
  std::ifstream in(log);
  int n = 0;
  for (std::string line; std::getline(in, line);) n += line.find(" ... not modified(") != std::string::npos;
  return n;
}

// A second check of the unchanged boards, with ConditionalGet off and on
// (each program directory has had its first check), round after round.
bool ConditionalRows(const TOptions& o, TLatencyRelay& relay, const std::vector<std::string>& urls,
                     const fs::path& root) {
  const TProgram off = MakeProgram(root / "vek-off", urls, {o.Vek}, false);
  const TProgram on = MakeProgram(root / "vek-on", urls, {o.Vek}, false, "ConditionalGet=1\r\n");
  if (Check(off, root / "off-first.log") < 0 || Check(on, root / "on-first.log") < 0) return false;
  std::vector<double> seconds[2];
  long long bytes[2] = {0, 0};
  for (int r = 0; r < o.Rounds; ++r)
    for (int i = 0; i < 2; ++i) {
      const long long before = relay.BytesReceived();
      const double t = Check(i ? on : off, root / (i ? "on.log" : "off.log"));
      if (t < 0) return false;
      seconds[i].push_back(t);
      bytes[i] = relay.BytesReceived() - before;
      std::printf("round %d, ConditionalGet=%d: %.2f s, %lld bytes\n", r + 1, i, t, bytes[i]);
    }
  const std::string what = std::to_string(o.Boards) + " unchanged boards on " + std::to_string(o.Hosts) +
                           " hosts at " + std::to_string(o.RttMs) + " ms RTT, http";
  std::printf("table\t%s: second check with ConditionalGet on (%d not modified) vs off (median of %d)\t%.2f s, "
              "%lld bytes\t%.2f s, %lld bytes\t%.2f\n",
              what.c_str(), NotModifiedLines(root / "on.log"), o.Rounds, Median(seconds[1]), bytes[1],
              Median(seconds[0]), bytes[0], Median(seconds[1]) / Median(seconds[0]));
  return true;
}

bool ParseOptions(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool more = i + 1 < argc;
    if (a == "--boards" && more) o.Boards = std::atoi(argv[++i]);
    else if (a == "--hosts" && more) o.Hosts = std::max(1, std::atoi(argv[++i]));
    else if (a == "--lines" && more) o.Lines = std::atoi(argv[++i]);
    else if (a == "--rtt" && more) o.RttMs = std::atoi(argv[++i]);
    else if (a == "--rounds" && more) o.Rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--vek" && more) o.Vek = argv[++i];
    else if (a == "--wine" && more) o.Wine = argv[++i];
    else if (a == "--keep") o.Keep = true;
    else if (a == "--conditional") o.Conditional = true;
    else return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr, "usage: bench_latency [--boards N] [--hosts N] [--lines N] [--rtt MS] [--rounds N]\n"
                         "                     [--vek PATH] [--wine PATH-TO-vekc.exe] [--keep] [--conditional]\n");
    return 64;
  }
#ifdef VEK_BOARD_SERVER
  const std::string serverBin = VEK_BOARD_SERVER;
#else
  const std::string serverBin;
#endif
  if (!fs::exists(o.Vek) || serverBin.empty() || !fs::exists(serverBin)) {
    std::fprintf(stderr, "bench_latency needs the vek command and vek-board-server built\n");
    return 1;
  }
  const char* tlsDir = std::getenv("VEK_TLS_DIR");
  const bool https = tlsDir && *tlsDir;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  char tmpl[] = "/tmp/vek-latency-bench-XXXXXX";
  const fs::path root = mkdtemp(tmpl);

  // Host p<h> plain, s<h> the same lists over TLS (boards.vek.test's certificate).
  fs::create_directories(root / "tls");
  for (int h = 0; h < o.Hosts; ++h) {
    for (const char* kind : {"p", "s"}) fs::create_directories(root / "boards" / (kind + std::to_string(h)));
    if (https)
      for (const char* ext : {".pem", ".key"})
        fs::copy_file(fs::path(tlsDir) / (std::string("good") + ext), root / "tls" / ("s" + std::to_string(h) + ext),
                      fs::copy_options::overwrite_existing);
  }
  for (int b = 0; b < o.Boards; ++b)
    for (const char* kind : {"p", "s"})
      WriteGzipBoard(root / "boards" / (kind + std::to_string(b % o.Hosts)) / ("b" + std::to_string(b)),
                     BoardList(b, o.Lines));
  int status = 1;
  {
    std::vector<std::string> extra = {"--keep-alive", "30"};
    if (o.Conditional) extra.push_back("--conditional");
    if (https) extra.insert(extra.end(), {"--tls", (root / "tls").string()});
    TBoardServer server(serverBin, root / "boards", root, extra);
    TLatencyRelay relay(o.RttMs);
    if (!server.Ready) {
      std::fprintf(stderr, "the board server did not start\n");
      return 1;
    }
    std::vector<TScheme> schemes;
    for (const char* scheme : https ? std::vector<const char*>{"http", "https"} : std::vector<const char*>{"http"}) {
      TScheme s;
      s.Name = scheme;
      const std::string kind = s.Name == "http" ? "p" : "s";
      const std::string hostName = s.Name == "http" ? "127.0.0.1" : "boards.vek.test";
      std::vector<int> ports;
      for (int h = 0; h < o.Hosts; ++h) ports.push_back(relay.Add(std::stoi(server.Ports[kind + std::to_string(h)])));
      for (int b = 0; b < o.Boards; ++b)
        s.Urls.push_back(s.Name + "://" + hostName + ":" + std::to_string(ports[b % o.Hosts]) + "/b" +
                         std::to_string(b) + "/subject.txt");
      if (o.Conditional) {
        if (!ConditionalRows(o, relay, s.Urls, root)) {
          std::fprintf(stderr, "the conditional checks failed: see %s\n", root.c_str());
          o.Keep = true;
          return 1;
        }
        break;
      }
      s.Vek = MakeProgram(root / ("vek-" + s.Name), s.Urls, {o.Vek}, false);
      if (!o.Wine.empty())
        s.Wine = MakeProgram(root / ("wine-" + s.Name), s.Urls,
                             {"/bin/bash", std::string(VEK_SOURCE_DIR) + "/scripts/wine-run.sh", o.Wine}, true);
      if (Check(s.Vek, root / (s.Name + "-first.log")) < 0 ||
          (!o.Wine.empty() && Check(s.Wine, root / (s.Name + "-wine-first.log")) < 0)) {
        std::fprintf(stderr, "the first %s check failed: see %s\n", scheme, root.c_str());
        o.Keep = true;
        return 1;
      }
      schemes.push_back(std::move(s));
    }
    status = 0;
    for (int r = 0; r < o.Rounds && status == 0 && !o.Conditional; ++r)
      for (TScheme& s : schemes) {
        if (!Round(o, relay, s, root)) {
          std::fprintf(stderr, "round %d over %s failed: see %s\n", r + 1, s.Name.c_str(), root.c_str());
          o.Keep = true;
          status = 1;
          break;
        }
        std::printf("round %d, %s: vek check %.2f s (%d conn.), libcurl reusing %.2f s (%d), fresh %.2f s (%d)\n",
                    r + 1, s.Name.c_str(), s.VekRuns.Seconds.back(), s.VekRuns.Connections, s.Reused.Seconds.back(),
                    s.Reused.Connections, s.Fresh.Seconds.back(), s.Fresh.Connections);
        if (!s.WineRuns.Seconds.empty())
          std::printf("round %d, %s: vekc.exe under Wine %.2f s (%d conn.)\n", r + 1, s.Name.c_str(),
                      s.WineRuns.Seconds.back(), s.WineRuns.Connections);
        std::fflush(stdout);
      }
    if (status == 0)
      for (const TScheme& s : schemes) Report(o, s);
  }
  if (o.Keep) std::printf("files kept in %s\n", root.c_str());
  else fs::remove_all(root);
  curl_global_cleanup();
  return status;
}
