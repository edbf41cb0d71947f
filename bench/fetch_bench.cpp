// Fetching 200 gzip-encoded boards of 1,000 lines each from the loopback board
// server through the board fetch (download, decoding, sorting, saving) beside
// plain libcurl doing the downloads and decoding with a fresh connection each
// and writing each body to a file. Both run in the same program against the
// same server; the ratio is printed at the end.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fetch/OldHttpGet.h"
#include "fetch/SubjectFetch.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr int BoardCount = 200;
constexpr int LinesPerBoard = 1000;
const char* const Hosts[] = {"a", "b", "c", "d"};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Real titles with keys of their own, 1,000 lines in the order a server sends them.
std::string BoardList(const std::vector<std::string>& titles, int board) {
  std::string text;
  for (int i = 0; i < LinesPerBoard; ++i) {
    const std::string& line = titles[static_cast<size_t>(i) % titles.size()];
    text += std::to_string(1700000000 - board * 10000 - i) + line.substr(line.find(".dat<>")) + "\n";
  }
  return text;
}

// The server on a tree made for this run, stopped with the program.
class Server {
 public:
  Server() {
    Base = fs::temp_directory_path() / ("vek-fetch-bench-" + std::to_string(getpid()));
    fs::remove_all(Base);
    std::vector<std::string> titles;
    std::istringstream lines(ReadAll(std::string(VEK_SHARED_DIR) + "/fixtures/real/subject-a.txt"));
    for (std::string line; std::getline(lines, line);)
      if (line.find(".dat<>") != std::string::npos) titles.push_back(line);
    if (titles.empty()) throw std::runtime_error("fixtures/real/subject-a.txt not found");
    for (int board = 0; board < BoardCount; ++board) {
      const char* host = Hosts[board % 4];
      fs::path dir = Base / "root" / host / ("board" + std::to_string(board));
      fs::create_directories(dir);
      std::ofstream(dir / "subject.txt", std::ios::binary) << BoardList(titles, board);
      Boards.emplace_back(host, "board" + std::to_string(board));
    }
    std::string ports = (Base / "ports").string();
    std::vector<std::string> args = {VEK_BOARD_SERVER, "--root", (Base / "root").string(), "--ports-file", ports,
                                     "--gzip", "--quiet", "--time-limit", "3600"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&Pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("cannot start " + args[0]);
    for (int i = 0; i < 1000 && !fs::exists(ports); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::istringstream in(ReadAll(ports));
    for (std::string kind, name, address; in >> kind && kind == "host" && in >> name >> address;)
      for (auto& [host, url] : Boards)
        if (host == name) url = "http://" + address + "/" + url + "/subject.txt";
    for (auto& [host, url] : Boards)
      if (url.rfind("http://", 0) != 0) throw std::runtime_error("the board server did not start");
  }
  ~Server() {
    fs::remove(Base / "ports");
    if (Pid > 0) waitpid(Pid, nullptr, 0);
    fs::remove_all(Base);
  }
  std::vector<std::string> Urls() const {
    std::vector<std::string> urls;
    for (const auto& board : Boards) urls.push_back(board.second);
    return urls;
  }
  fs::path Base;

 private:
  pid_t Pid = -1;
  std::vector<std::pair<std::string, std::string>> Boards;  // host, then the URL
};

Server* TheServer = nullptr;
double FetchSeconds = 0, CurlSeconds = 0;  // best round of each

void BoardFetch(benchmark::State& state) {
  vek::TFetchSettings settings;
  const std::string cacheDir = (TheServer->Base / "subject").string() + "/";
  fs::create_directories(cacheDir);
  vek::THttpGet getter;
  std::vector<std::string> urls = TheServer->Urls();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (const std::string& url : urls)
      if (!vek::FetchSubject(getter, settings, cacheDir, vek::platform::TEnv::Default(), [] {}, url)) state.SkipWithError("a board failed");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    FetchSeconds = FetchSeconds == 0 ? seconds : std::min(FetchSeconds, seconds);
  }
}

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void PlainCurl(benchmark::State& state) {
  fs::path dir = TheServer->Base / "curl";
  fs::create_directories(dir);
  std::vector<std::string> urls = TheServer->Urls();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    int n = 0;
    for (const std::string& url : urls) {
      std::string body;
      CURL* curl = curl_easy_init();
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
      curl_easy_setopt(curl, CURLOPT_PROXY, "");
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
      if (curl_easy_perform(curl) != CURLE_OK || body.empty()) state.SkipWithError("a download failed");
      curl_easy_cleanup(curl);
      std::ofstream(dir / (std::to_string(n++) + ".txt"), std::ios::binary) << body;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CurlSeconds = CurlSeconds == 0 ? seconds : std::min(CurlSeconds, seconds);
  }
}

}  // namespace

BENCHMARK(PlainCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BoardFetch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  try {
    Server server;
    TheServer = &server;
    benchmark::RunSpecifiedBenchmarks();
    TheServer = nullptr;
  } catch (const std::exception& e) {
    std::cerr << "fetch_bench: " << e.what() << "\n";
    return 1;
  }
  if (FetchSeconds > 0 && CurlSeconds > 0)
    std::cout << "200 boards: board fetch " << FetchSeconds * 1000 << " ms, plain libcurl " << CurlSeconds * 1000
              << " ms, ratio " << FetchSeconds / CurlSeconds << " (best of 5 rounds each)\n";
  benchmark::Shutdown();
  return 0;
}
