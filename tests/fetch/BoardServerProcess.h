// The loopback board server (tools/board-server) as a child of a test: a
// fresh board tree, the server started on it, its addresses read from its
// ports file and its request log readable. The Windows build, under Wine,
// starts the native server binary of the build tree beside it.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace vek::test {

// A Linux program started by the test: directly, or under Wine through Z:.
// Such a child stops on its own (a file removed, a time limit); Wait gives it
// ten seconds and then ends it.
class NativeProcess {
 public:
  NativeProcess();
  ~NativeProcess();  // waits
  NativeProcess(const NativeProcess&) = delete;
  NativeProcess& operator=(const NativeProcess&) = delete;
  bool Start(const std::vector<std::string>& args);  // args[0]: the program's POSIX path
  void Wait();

 private:
  struct Child;
  std::unique_ptr<Child> Child_;
};

// A POSIX path as this program reaches it (under Wine through drive Z:).
std::string LocalPath(const std::string& unixPath);

class BoardServerProcess {
 public:
  // Hosts are directory names ("a", "b"...); they get 127.0.0.2, .3... in
  // name order. Options go to the server's command line ("--proxy", "--gzip").
  explicit BoardServerProcess(std::vector<std::string> hosts, std::vector<std::string> options = {});
  ~BoardServerProcess();  // stops the server and removes the tree
  BoardServerProcess(const BoardServerProcess&) = delete;
  BoardServerProcess& operator=(const BoardServerProcess&) = delete;

  bool Running() const { return !Ports.empty(); }
  const std::string& Problem() const { return Problem_; }

  // Puts a board's files in place (served from the next request on).
  void AddBoard(const std::string& host, const std::string& board, const std::string& subject,
                const std::string& config = "");
  // "http://address:port/board/subject.txt" of a host's board.
  std::string Url(const std::string& host, const std::string& board) const;
  std::string Address(const std::string& host) const;  // "127.0.0.2:port"
  std::string ProxyAddress() const;                    // with "--proxy"
  // Request heads (exactly as they arrived) whose request line contains the text.
  std::vector<std::string> Requests(const std::string& part) const;
  // The request lines (as logged: "HOST METHOD TARGET ~ADDRESS:PORT") that
  // contain the text, in the order they arrived; the part after "~" names the
  // client's connection.
  std::vector<std::string> RequestLines(const std::string& part) const;

 private:
  std::string Lookup(const std::string& key) const;
  std::string BaseUnix;   // the tree in the server's (POSIX) form
  std::string BaseLocal;  // the same in this program's form
  std::vector<std::pair<std::string, std::string>> Ports;
  std::string Problem_;
  std::unique_ptr<NativeProcess> Child_;
};

// Path of the server binary, or "" when it has not been built.
std::string BoardServerBinary();

}  // namespace vek::test
