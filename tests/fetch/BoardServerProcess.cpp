// Starting and stopping the loopback board server from a test program.
#include "BoardServerProcess.h"

#include <atomic>
#include <thread>  // std::chrono without <chrono>, whose µ text has no code page 932 form
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace vek::test {
namespace {

// A POSIX path as this program reaches it: under Wine, through drive Z:.
std::string LocalForm(const std::string& unixPath) {
#ifdef _WIN32
  std::string s = "Z:" + unixPath;
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
#else
  return unixPath;
#endif
}

int ProcessId() {
#ifdef _WIN32
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

}  // namespace

std::string BoardServerBinary() {
  if (const char* env = std::getenv("VEK_BOARD_SERVER"); env && *env) return env;
#ifdef _WIN32
  std::string binary = fs::path(VEK_BINARY_DIR).parent_path().generic_string() + "/native/tools/vek-board-server";
#else
  std::string binary = std::string(VEK_BINARY_DIR) + "/tools/vek-board-server";
#endif
  return Exists(LocalForm(binary)) ? binary : std::string();
}

#ifdef _WIN32
struct NativeProcess::Child {
  PROCESS_INFORMATION Info{};
  bool Start(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& a : args) line += (line.empty() ? "\"" + LocalForm(a) + "\"" : " " + a);
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    return CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &Info) != 0;
  }
  void Wait() {
    if (!Info.hProcess) return;
    if (WaitForSingleObject(Info.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(Info.hProcess, 1);
    CloseHandle(Info.hProcess);
    CloseHandle(Info.hThread);
    Info = {};
  }
};
#else
struct NativeProcess::Child {
  pid_t Pid = -1;
  bool Start(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&Pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
  }
  void Wait() {
    if (Pid <= 0) return;
    for (int i = 0; i < 500; ++i) {
      if (waitpid(Pid, nullptr, WNOHANG) == Pid) {
        Pid = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
    Pid = -1;
  }
};
#endif

NativeProcess::NativeProcess() : Child_(std::make_unique<Child>()) {}
NativeProcess::~NativeProcess() { Wait(); }
bool NativeProcess::Start(const std::vector<std::string>& args) { return Child_->Start(args); }
void NativeProcess::Wait() { Child_->Wait(); }

std::string LocalPath(const std::string& unixPath) { return LocalForm(unixPath); }

BoardServerProcess::BoardServerProcess(std::vector<std::string> hosts, std::vector<std::string> options)
    : Child_(std::make_unique<NativeProcess>()) {
  static std::atomic<int> counter{0};
  BaseUnix = std::string(VEK_BINARY_DIR) + "/fetch-boards/" + std::to_string(ProcessId()) + "-" +
             std::to_string(counter++);
  BaseLocal = LocalForm(BaseUnix);
  std::error_code ec;
  fs::remove_all(BaseLocal, ec);
  for (const std::string& host : hosts) fs::create_directories(fs::path(BaseLocal) / "root" / host);

  std::string binary = BoardServerBinary();
  if (binary.empty()) {
    Problem_ = "the loopback board server has not been built (tools/, native build)";
    return;
  }
  std::vector<std::string> args = {binary, "--root", BaseUnix + "/root", "--ports-file", BaseUnix + "/ports",
                                   "--log", BaseUnix + "/requests.log", "--time-limit", "900", "--quiet"};
  args.insert(args.end(), options.begin(), options.end());
  if (!Child_->Start(args)) {
    Problem_ = "cannot start " + binary;
    return;
  }
  std::string portsFile = BaseLocal + (BaseLocal.back() == '\\' ? "" : std::string(1, fs::path::preferred_separator)) + "ports";
  for (int i = 0; i < 1000 && !Exists(portsFile); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::istringstream lines(ReadFile(portsFile));
  for (std::string kind, name, address; lines >> kind;) {
    if (kind == "host" && lines >> name >> address) Ports.emplace_back(name, address);
    else if (kind == "proxy" && lines >> address) Ports.emplace_back(" proxy", address);
  }
  if (Ports.empty()) Problem_ = "the board server did not report its ports";
}

BoardServerProcess::~BoardServerProcess() {
  std::error_code ec;
  fs::remove(fs::path(BaseLocal) / "ports", ec);  // the server stops when its ports file goes
  Child_->Wait();
  fs::remove_all(BaseLocal, ec);
}

void BoardServerProcess::AddBoard(const std::string& host, const std::string& board, const std::string& subject,
                                  const std::string& config) {
  fs::path dir = fs::path(BaseLocal) / "root" / host / board;
  WriteFile((dir / "subject.txt").string(), subject);
  std::error_code ec;
  if (config.empty()) fs::remove(dir / "board.conf", ec);
  else WriteFile((dir / "board.conf").string(), config);
}

std::string BoardServerProcess::Lookup(const std::string& key) const {
  for (const auto& [name, address] : Ports)
    if (name == key) return address;
  return {};
}

std::string BoardServerProcess::Address(const std::string& host) const { return Lookup(host); }
std::string BoardServerProcess::ProxyAddress() const { return Lookup(" proxy"); }

std::string BoardServerProcess::Url(const std::string& host, const std::string& board) const {
  return "http://" + Address(host) + "/" + board + "/subject.txt";
}

std::vector<std::string> BoardServerProcess::Requests(const std::string& part) const {
  std::string log = ReadFile((fs::path(BaseLocal) / "requests.log").string());
  std::vector<std::string> heads;
  size_t pos = 0;
  while ((pos = log.find("@@ ", pos)) != std::string::npos) {
    size_t lineEnd = log.find('\n', pos);
    if (lineEnd == std::string::npos) break;
    size_t next = log.find("\r\n\r\n@@ ", lineEnd);
    next = next == std::string::npos ? log.size() : next + 4;
    if (log.substr(pos, lineEnd - pos).find(part) != std::string::npos)
      heads.push_back(log.substr(lineEnd + 1, next - lineEnd - 1));
    pos = next;
  }
  return heads;
}

std::vector<std::string> BoardServerProcess::RequestLines(const std::string& part) const {
  std::string log = ReadFile((fs::path(BaseLocal) / "requests.log").string());
  std::vector<std::string> lines;
  for (size_t pos = 0; (pos = log.find("@@ ", pos)) != std::string::npos;) {
    size_t end = log.find('\n', pos);
    if (end == std::string::npos) break;
    std::string line = log.substr(pos + 3, end - pos - 3);
    if (line.find(part) != std::string::npos) lines.push_back(line);
    pos = end;
  }
  return lines;
}

}  // namespace vek::test
