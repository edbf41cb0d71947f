// The end-to-end harness: loopback board server, child process runner,
// masking and tree comparison.
#include "E2eSupport.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <httplib.h>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace vek::e2e {

// ---------------------------------------------------------------- server

struct TBoardServer::TImpl {
  struct TBody {
    std::string Bytes;
    bool Gzip = false;
    int DelayMs = 0;
    int Version = 0;  // of the path: its validators' number
  };
  httplib::Server Server;
  std::thread Thread;
  mutable std::mutex Lock;
  std::map<std::string, TBody> Bodies;
  std::map<std::string, int> Versions;
  std::vector<std::string> Requests;
  std::vector<std::string> Conditions;
  bool Conditional = false;
  bool Answer(const httplib::Request& req, httplib::Response& res, const TBody& body) const;
};

// With validators on: a version's Last-Modified and ETag; a request naming
// the current one (If-None-Match first, as a stock server does) gets a 304.
bool TBoardServer::TImpl::Answer(const httplib::Request& req, httplib::Response& res, const TBody& body) const {
  if (!Conditional) return false;
  const std::string date = "Tue, 01 Dec 2026 09:00:" + std::string(body.Version < 10 ? "0" : "") +
                           std::to_string(body.Version % 60) + " GMT";
  const std::string tag = "\"v" + std::to_string(body.Version) + "\"";
  res.set_header("Last-Modified", date);
  res.set_header("ETag", tag);
  const bool current = req.has_header("If-None-Match") ? req.get_header_value("If-None-Match") == tag
                                                       : req.get_header_value("If-Modified-Since") == date;
  if (current) res.status = 304;
  return current;
}

TBoardServer::TBoardServer() : Impl_(std::make_unique<TImpl>()) {
  TImpl& impl = *Impl_;
  impl.Server.Get(R"(/.*)", [&impl](const httplib::Request& req, httplib::Response& res) {
    TImpl::TBody body;
    {
      std::lock_guard<std::mutex> guard(impl.Lock);
      impl.Requests.push_back(req.path);
      std::string conditions = req.path;
      for (const char* name : {"If-Modified-Since", "If-None-Match"})
        if (req.has_header(name)) conditions += std::string(" ") + name + ": " + req.get_header_value(name);
      impl.Conditions.push_back(conditions);
      auto it = impl.Bodies.find(req.path);
      if (it == impl.Bodies.end()) {
        res.status = 404;
        res.set_content("<html><body>404 Not Found</body></html>\n", "text/html");
        return;
      }
      body = it->second;
    }
    // A slow board keeps its client waiting, not the other boards.
    if (body.DelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(body.DelayMs));
    if (impl.Answer(req, res, body)) return;
    // Not a text type: the server library would otherwise gzip the body on
    // its own whenever the client accepts it.
    res.set_content(body.Bytes, "application/octet-stream");
    if (body.Gzip) res.set_header("Content-Encoding", "gzip");
  });
  Port_ = impl.Server.bind_to_any_port("127.0.0.1");
  if (Port_ <= 0) throw std::runtime_error("board server: no port");
  impl.Thread = std::thread([&impl] { impl.Server.listen_after_bind(); });
  for (int i = 0; i < 2000 && !impl.Server.is_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!impl.Server.is_running()) {
    impl.Server.stop();
    impl.Thread.join();
    throw std::runtime_error("board server: not listening");
  }
}

TBoardServer::~TBoardServer() {
  Impl_->Server.stop();
  if (Impl_->Thread.joinable()) Impl_->Thread.join();
}

void TBoardServer::Put(const std::string& path, const std::string& body, bool gzip, int delayMs) {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  Impl_->Bodies[path] = TImpl::TBody{gzip ? Gzip(body) : body, gzip, delayMs, ++Impl_->Versions[path]};
}

void TBoardServer::SetConditional(bool on) {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  Impl_->Conditional = on;
}

std::vector<std::string> TBoardServer::Conditions() const {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  return Impl_->Conditions;
}

void TBoardServer::Remove(const std::string& path) {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  Impl_->Bodies.erase(path);
}

std::vector<std::string> TBoardServer::Requests() const {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  return Impl_->Requests;
}

void TBoardServer::OnRequest(std::function<void(const std::string&)> hook) {
  // Before routing, on the server's thread, so before the answer goes out.
  Impl_->Server.set_pre_routing_handler([hook = std::move(hook)](const httplib::Request& req, httplib::Response&) {
    if (hook) hook(req.path);
    return httplib::Server::HandlerResponse::Unhandled;
  });
}

std::string Gzip(const std::string& bytes) {
  z_stream zs{};
  // 15 + 16: a gzip wrapper rather than zlib's own.
  if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&zs, bytes.size()) + 32, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&zs, Z_FINISH);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  return out;
}

// ---------------------------------------------------------------- program

std::string TProgram::DirArg(const std::string& posixDir) const {
  std::string s = posixDir;
  for (char& c : s)
    if (c == '/') c = '\\';
  return Wine ? "Z:" + s : s;
}

TProgram ProgramUnderTest() {
  TProgram p;
  if (const char* exe = std::getenv("VEK_E2E_EXE"); exe && *exe) {
    p.Exe = exe;
  } else {
#ifdef VEK_E2E_VEK
    p.Exe = VEK_E2E_VEK;
#endif
  }
  const char* wine = std::getenv("VEK_E2E_WINE");
  p.Wine = wine && std::string(wine) == "1";
  std::error_code ec;
  if (!p.Exe.empty() && !fs::is_regular_file(p.Exe, ec)) p.Exe.clear();
  return p;
}

TProcessResult RunProgram(const TProgram& program, const std::vector<std::string>& args, int timeoutSeconds) {
  std::vector<std::string> argv;
  if (program.Wine) {
    argv = {"bash", test::SourceDir() + "/scripts/wine-run.sh", program.Exe};
  } else {
    argv = {program.Exe};
  }
  argv.insert(argv.end(), args.begin(), args.end());

  char outName[] = "/tmp/vek-e2e-out-XXXXXX";
  int outFd = mkstemp(outName);
  if (outFd < 0) throw std::runtime_error("mkstemp");
  unlink(outName);

  // Built before the fork: the server thread may hold the allocator's lock
  // at that moment, so the child must not allocate.
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    setpgid(0, 0);
    dup2(outFd, 1);
    dup2(outFd, 2);
    int nullFd = open("/dev/null", O_RDONLY);
    if (nullFd >= 0) dup2(nullFd, 0);
    execvp(cargv[0], cargv.data());
    _exit(127);
  }
  TProcessResult result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.Output = "(killed after " + std::to_string(timeoutSeconds) + " s)\n";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  lseek(outFd, 0, SEEK_SET);
  char buf[4096];
  for (ssize_t n; (n = read(outFd, buf, sizeof buf)) > 0;) result.Output.append(buf, static_cast<size_t>(n));
  close(outFd);
  return result;
}

// ---------------------------------------------------------------- masking

namespace {

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (size_t pos = 0; (pos = s.find(from, pos)) != std::string::npos; pos += to.size())
    s.replace(pos, from.size(), to);
}

std::string Backslashed(std::string s) {
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// The thread list files are read in the order the file system lists them,
// which differs between file systems: runs of "  Read: " log lines are put
// in sorted order.
std::string SortReadLines(const std::string& s) {
  const std::string prefix = "  Read: ";
  std::string out;
  std::vector<std::string> run;
  auto flush = [&] {
    std::sort(run.begin(), run.end());
    for (auto& l : run) out += l;
    run.clear();
  };
  size_t start = 0;
  while (start < s.size()) {
    size_t end = s.find('\n', start);
    end = end == std::string::npos ? s.size() : end + 1;
    std::string line = s.substr(start, end - start);
    if (line.compare(0, prefix.size(), prefix) == 0 && line.back() == '\n') {
      run.push_back(line);
    } else {
      flush();
      out += line;
    }
    start = end;
  }
  flush();
  return out;
}

}  // namespace

std::string TMask::Apply(const std::string& bytes) const {
  std::string s = bytes;
  if (!Root.empty()) {
    std::string root = Root;
    if (root.back() == '/') root.pop_back();
    ReplaceAll(s, "Z:" + Backslashed(root), "{ROOT}");
    ReplaceAll(s, "z:" + Backslashed(root), "{ROOT}");
    ReplaceAll(s, Backslashed(root), "{ROOT}");
    ReplaceAll(s, root, "{ROOT}");
  }
  // The log shows paths as the system writes them; the expected files hold
  // the core's form with "\".
  static const std::regex rootPath(R"(\{ROOT\}[^\s]*)");
  std::string unified;
  auto from = s.cbegin();
  for (std::sregex_iterator it(s.begin(), s.end(), rootPath), end; it != end; ++it) {
    unified.append(from, (*it)[0].first);
    std::string path = it->str();
    std::replace(path.begin(), path.end(), '/', '\\');
    unified += path;
    from = (*it)[0].second;
  }
  unified.append(from, s.cend());
  s = unified;
  if (Port > 0) {
    std::regex port("(:|%3A)" + std::to_string(Port) + "(?![0-9])");
    s = std::regex_replace(s, port, "$1{PORT}");
  }
  // The start and end lines of a run show the date in the system's short
  // format, which pads month and day or not depending on the system.
  static const std::regex runLine(R"(\*\*\*\*\*  \([0-9]{4}/[0-9]{1,2}/[0-9]{1,2}( [0-9]{1,2}:[0-9]{2}:[0-9]{2})?\))");
  s = std::regex_replace(s, runLine, "*****  (yyyy/mm/dd hh:nn:ss)");
  static const std::regex stamp(R"([0-9]{4}/[0-9]{2}/[0-9]{2}( [0-9]{1,2}:[0-9]{2}:[0-9]{2})?)");
  s = std::regex_replace(s, stamp, "yyyy/mm/dd hh:nn:ss");
  static const std::regex seconds(R"([0-9]+[.,][0-9]{2}s\))");
  s = std::regex_replace(s, seconds, "#.##s)");
  static const std::regex millis(R"(done\([0-9]+\))");
  s = std::regex_replace(s, millis, "done(#)");
  // The guard's refusal tells how long ago the last run was and how long
  // is left; both depend on how fast the scenario went.
  static const std::regex ago(std::string("(") + "前回に更新チェックをしたのは " + ")[0-9]+");
  s = std::regex_replace(s, ago, "$1#");
  static const std::regex left(std::string("(") + "放置すれば " + ")[0-9]+");
  s = std::regex_replace(s, left, "$1#");
  return SortReadLines(s);
}

std::string TMask::ApplyToName(const std::string& relativePath) const { return Apply(relativePath); }

// ---------------------------------------------------------------- trees

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path ExpectedDir(const std::string& name) { return fs::path(test::SourceDir()) / "tests" / "e2e" / "expected" / name; }

std::string ToUtf8(const std::string& cp932) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return cp932;
  std::string out(cp932.size() * 3 + 8, '\0');
  char* in = const_cast<char*>(cp932.data());
  size_t inLeft = cp932.size();
  char* o = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
      if (outLeft == 0) break;
      *o++ = '?';  // a byte that is no CP932: show it as "?" and go on
      --outLeft;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string Visible(const std::string& line) {
  std::string s = ToUtf8(line);
  std::string out;
  for (char c : s) {
    if (c == '\t') out += "<TAB>";
    else if (c == '\r') out += "<CR>";
    else out += c;
  }
  return out;
}

std::vector<std::string> SplitKeepingEnds(const std::string& s) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n') {
      lines.push_back(s.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  if (start < s.size()) lines.push_back(s.substr(start));
  return lines;
}

}  // namespace

TTree SnapshotTree(const std::string& dir, const TMask& mask) {
  TTree tree;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::string rel = fs::relative(entry.path(), dir).generic_string();
    tree[mask.ApplyToName(rel)] = mask.Apply(ReadAll(entry.path()));
  }
  return tree;
}

TTree LoadExpected(const std::string& name) {
  TTree tree;
  fs::path dir = ExpectedDir(name);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return tree;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    tree[fs::relative(entry.path(), dir).generic_string()] = ReadAll(entry.path());
  }
  return tree;
}

void StoreExpected(const std::string& name, const TTree& tree) {
  fs::path dir = ExpectedDir(name);
  fs::remove_all(dir);
  for (const auto& [rel, bytes] : tree) {
    fs::path p = dir / rel;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

bool UpdatingExpected() {
  const char* v = std::getenv("VEK_E2E_UPDATE");
  return v && std::string(v) == "1";
}

std::vector<std::string> CompareTrees(const TTree& expected, const TTree& actual) {
  std::vector<std::string> diffs;
  for (const auto& [name, bytes] : expected) {
    auto it = actual.find(name);
    if (it == actual.end()) {
      diffs.push_back("missing file: " + name);
      continue;
    }
    if (it->second == bytes) continue;
    auto want = SplitKeepingEnds(bytes);
    auto got = SplitKeepingEnds(it->second);
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    std::string w = i < want.size() ? Visible(want[i]) : "(end of file)";
    std::string g = i < got.size() ? Visible(got[i]) : "(end of file)";
    diffs.push_back("differs: " + name + " line " + std::to_string(i + 1) + "\n  expected: " + w + "\n  actual:   " + g);
  }
  for (const auto& [name, bytes] : actual)
    if (!expected.count(name)) diffs.push_back("unexpected file: " + name);
  return diffs;
}

TFileIdentity IdentityOf(const std::string& path) {
  struct stat st {};
  TFileIdentity id;
  if (stat(path.c_str(), &st) != 0) return id;
  id.Inode = st.st_ino;
  id.ModifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return id;
}

void AgeFile(const std::string& path, int secondsAgo) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct timespec times[2];
  times[0] = now;
  times[0].tv_sec -= secondsAgo;
  times[1] = times[0];
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) throw std::runtime_error("utimensat " + path);
}

TBackgroundProgram::TBackgroundProgram(const std::string& exe, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"bash", test::SourceDir() + "/scripts/wine-run.sh", exe};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  Pid = fork();
  if (Pid == 0) {
    setpgid(0, 0);
    int nullFd = open("/dev/null", O_RDWR);
    dup2(nullFd, 0);
    dup2(nullFd, 1);
    dup2(nullFd, 2);
    execvp(cargv[0], cargv.data());
    _exit(127);
  }
}

TBackgroundProgram::~TBackgroundProgram() {
  if (Pid > 0 && !Ended(0)) {
    kill(-Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
  }
}

bool TBackgroundProgram::Ended(int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    if (Exited) return true;
    if (waitpid(Pid, &Status, WNOHANG) == Pid) return Exited = true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int TBackgroundProgram::Wait(int seconds) {
  if (!Ended(seconds)) return -1;
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

}  // namespace vek::e2e
