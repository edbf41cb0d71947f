// The HTTP side of the loopback board server: one listener per host directory
// (and an optional forward proxy), every request's head recorded exactly as
// it arrived, boards answered as their "board.conf" says.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vekserver {

struct Host {
  std::string Name;      // the directory name under the root
  std::string Dir;       // its path
  std::string Address;   // the loopback address it listens on
  int Port = 0;
  // Served over TLS with this certificate chain and key (PEM files) when set.
  std::string CertFile, KeyFile;
};

struct SiteOptions {
  std::string Root;
  std::string LogPath;   // empty: no request log
  bool GzipAll = false;  // gzip every board whose request offers it
  // Seconds a connection may wait idle for its next request; 0: one request
  // per connection, answered with "Connection: close".
  int KeepAliveSeconds = 0;
  // Plain hosts: every answer promises to keep the connection, which is then
  // closed anyway (a server whose keep-alive ends without notice).
  bool DropAfterResponse = false;
  // A board file's answers carry Last-Modified (its time) and ETag (its
  // bytes), and a request whose If-None-Match or If-Modified-Since says the
  // client has it gets "304 Not Modified".
  bool Conditional = false;
};

class BoardSite {
 public:
  explicit BoardSite(SiteOptions options);
  ~BoardSite();
  // Binds every host (and the proxy when wanted); false with a message on failure.
  bool Listen(std::vector<Host> hosts, bool proxy, const std::string& proxyAddress, std::string& error);
  void Stop();
  const std::vector<Host>& Hosts() const { return Hosts_; }
  int ProxyPort() const { return ProxyPort_; }
  std::atomic<bool> Stopping{false};

 private:
  struct Listener;
  SiteOptions Options;
  std::vector<Host> Hosts_;
  int ProxyPort_ = 0;
  std::vector<std::unique_ptr<Listener>> Listeners;
  std::mutex LogMutex;

  friend struct Handlers;
};

}  // namespace vekserver
