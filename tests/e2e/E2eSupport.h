// Tools for the end-to-end scenarios: a loopback board server the scenario
// fills and changes between runs, the headless command started as a child
// process (natively or the Windows console build under Wine), masking of the
// figures that change from run to run, and whole-tree comparison with the
// expected files kept in the repository.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vek::e2e {

// Serves "/{board}/subject.txt" and whatever else the scenario puts in, on
// 127.0.0.1 and a free port, from this process. Boards can be replaced or
// removed between runs; a gzip-encoded body is sent with Content-Encoding.
class TBoardServer {
 public:
  TBoardServer();
  ~TBoardServer();
  TBoardServer(const TBoardServer&) = delete;
  TBoardServer& operator=(const TBoardServer&) = delete;

  int Port() const { return Port_; }
  // delayMs holds the answer back that long (a board that answers slowly).
  void Put(const std::string& path, const std::string& body, bool gzip = false, int delayMs = 0);
  void Remove(const std::string& path);
  // Every path asked for since start, in order (for checking that skipped
  // boards were never asked for).
  std::vector<std::string> Requests() const;
  // From now on answers carry Last-Modified and ETag (new ones at every Put
  // of the path) and a request whose conditions name them gets a 304.
  void SetConditional(bool on);
  // Every request as "path", then " If-Modified-Since: value" and
  // " If-None-Match: value" for the conditional headers it carried.
  std::vector<std::string> Conditions() const;
  // Called with each request's path as it arrives, before it is answered
  // (lets a scenario look at the world at that moment). Set it while no
  // request is under way; an empty function removes it.
  void OnRequest(std::function<void(const std::string&)> hook);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
  int Port_ = 0;
};

// gzip (RFC 1952) encoding of bytes.
std::string Gzip(const std::string& bytes);

// How the headless command is started.
struct TProgram {
  std::string Exe;      // the vek binary or vekc.exe
  bool Wine = false;    // start through scripts/wine-run.sh
  // A directory in the form the program expects: "\tmp\x\" natively (the
  // platform layer turns "\" into "/"), "Z:\tmp\x\" under Wine.
  std::string DirArg(const std::string& posixDir) const;
};

// Which program the scenarios drive: VEK_E2E_EXE and VEK_E2E_WINE=1 override
// the native build's vek. Empty Exe when there is none.
TProgram ProgramUnderTest();

struct TProcessResult {
  int ExitCode = -1;
  std::string Output;   // stdout and stderr together, as the program wrote them
};

// Starts the program with these arguments and waits (at most timeoutSeconds).
TProcessResult RunProgram(const TProgram& program, const std::vector<std::string>& args, int timeoutSeconds = 120);

// Replaces what changes from run to run by fixed marks: the scenario's root
// directory (in its POSIX, backslash and Wine drive forms), the server port,
// time stamps "yyyy/mm/dd hh:nn:ss" (and the log's date with its h:nn:ss
// time), elapsed figures "done(1.23s)" / "failed(0.01s)" / "done(1234)", and
// the seconds of the guard's refusal lines.
struct TMask {
  std::string Root;     // POSIX form with trailing "/"
  int Port = 0;
  std::string Apply(const std::string& bytes) const;
  std::string ApplyToName(const std::string& relativePath) const;
};

// Every regular file under dir: masked relative path ("/" separators) to
// masked content.
using TTree = std::map<std::string, std::string>;
TTree SnapshotTree(const std::string& dir, const TMask& mask);

// The expected tree stored under tests/e2e/expected/{name}; empty when absent.
TTree LoadExpected(const std::string& name);
// Replaces the stored expected tree (the VEK_E2E_UPDATE=1 workflow).
void StoreExpected(const std::string& name, const TTree& tree);
bool UpdatingExpected();

// Human-readable differences between two trees (empty when equal): missing
// and extra files, and the first differing line of every changed file.
std::vector<std::string> CompareTrees(const TTree& expected, const TTree& actual);

// Which file a path names and when it was last written: a file replaced by
// rename gets a new identity even when its bytes are the same.
struct TFileIdentity {
  unsigned long long Inode = 0;
  long long ModifiedNs = 0;
  bool operator==(const TFileIdentity&) const = default;
};
TFileIdentity IdentityOf(const std::string& path);

// Sets a file's last-write time to secondsAgo seconds before now.
void AgeFile(const std::string& path, int secondsAgo);

// A Windows program started under Wine (through the project's Wine settings)
// in the background, its output discarded; killed with its process group when
// it is still running at the end.
class TBackgroundProgram {
 public:
  TBackgroundProgram(const std::string& exe, const std::vector<std::string>& args);
  ~TBackgroundProgram();
  // The exit code, or -1 when it is still running after the time (or ended
  // by a signal).
  int Wait(int seconds);
  // True when the program has ended within the time.
  bool Ended(int seconds);

 private:
  int Pid = -1;
  int Status = 0;
  bool Exited = false;
};

}  // namespace vek::e2e
