// Listeners, request recording and the answers of the loopback board server.
#include "BoardHttp.h"

#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "BoardBody.h"

namespace vekserver {
namespace {

// The connection the current handler serves, and the request head as it
// arrived; set by the listener before httplib parses the request.
thread_local int CurrentSocket = -1;
thread_local std::string CurrentHead;

constexpr auto LongestWait = std::chrono::seconds(300);

// The head of the request waiting on the socket, peeked so that httplib still
// reads it afterwards (it reads a head byte by byte, and a GET has no body, so
// on a kept connection the next bytes are the next request's head).
std::string PeekHead(int fd) {
  std::string data(65536, '\0');
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    ssize_t n = recv(fd, data.data(), data.size(), MSG_PEEK);
    if (n <= 0) return {};
    std::string_view seen(data.data(), static_cast<size_t>(n));
    size_t end = seen.find("\r\n\r\n");
    if (end != std::string_view::npos) return std::string(seen.substr(0, end + 4));
    if (static_cast<size_t>(n) == data.size()) return std::string(seen);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return {};
}

bool PeerGone(int fd) {
  char c;
  ssize_t n = recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// Holds the connection open without a word until the client gives up.
void WaitUntilGone(const std::atomic<bool>& stopping) {
  auto until = std::chrono::steady_clock::now() + LongestWait;
  while (!stopping.load() && std::chrono::steady_clock::now() < until) {
    if (CurrentSocket >= 0 && PeerGone(CurrentSocket)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// An abortive close: Linux answers a disconnect of a TCP socket with a reset.
void ResetConnection() {
  if (CurrentSocket < 0) return;
  sockaddr unspec{};
  unspec.sa_family = AF_UNSPEC;
  connect(CurrentSocket, &unspec, sizeof unspec);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  bytes = ss.str();
  return true;
}

// An HTTP date (RFC 9110's preferred form) and back; -1 when it is none.
std::string HttpDate(time_t t) {
  tm parts{};
  gmtime_r(&t, &parts);
  char text[64];
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

time_t ParseHttpDate(const std::string& text) {
  tm parts{};
  const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return end && *end == '\0' ? timegm(&parts) : -1;
}

// The entity tags of an If-None-Match list, weak ones compared weakly.
bool TagListMatches(const std::string& list, const std::string& tag) {
  std::istringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) {
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (item.rfind("W/", 0) == 0) item.erase(0, 2);
    if (item == "*" || item == tag) return true;
  }
  return false;
}

// A board file's validators on the answer; true when the request's
// conditions say that the client's copy is current (If-None-Match decides
// when it is there, as RFC 9110 says).
bool NotModified(const std::string& file, const std::string& bytes, const httplib::Request& req,
                 httplib::Response& res) {
  struct stat info {};
  if (stat(file.c_str(), &info) != 0) return false;
  const std::string tag = "\"" + std::to_string(std::hash<std::string>()(bytes)) + "\"";
  res.set_header("Last-Modified", HttpDate(info.st_mtime));
  res.set_header("ETag", tag);
  if (req.has_header("If-None-Match")) return TagListMatches(req.get_header_value("If-None-Match"), tag);
  if (!req.has_header("If-Modified-Since")) return false;
  const time_t since = ParseHttpDate(req.get_header_value("If-Modified-Since"));
  return since >= 0 && info.st_mtime <= since;
}

bool WaitFor(int fd, short events, int milliseconds) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, milliseconds) > 0;
}

// The connection as httplib reads and writes it.
class SocketStream : public httplib::Stream {
 public:
  explicit SocketStream(int fd) : Fd(fd) {}
  bool is_readable() const override { return WaitFor(Fd, POLLIN, 5000); }
  bool is_writable() const override { return WaitFor(Fd, POLLOUT, 5000) && !PeerGone(Fd); }
  ssize_t read(char* ptr, size_t size) override {
    if (!is_readable()) return -1;
    return recv(Fd, ptr, size, 0);
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (!WaitFor(Fd, POLLOUT, 5000)) return -1;
    return send(Fd, ptr, size, MSG_NOSIGNAL);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { Name(getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Name(getsockname, ip, port); }
  socket_t socket() const override { return Fd; }

 private:
  template <typename Fn>
  void Name(Fn fn, std::string& ip, int& port) const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ip.clear();
    port = 0;
    if (fn(Fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    ip = text;
    port = ntohs(address.sin_port);
  }
  int Fd;
};

// Serves the requests of one connection, recording each head as it arrived
// first (peeked, so that httplib still parses it): one request, or as many as
// come while the connection is kept, or one that promises more and then goes.
class RecordingServer : public httplib::Server {
 public:
  RecordingServer(const SiteOptions& options, const std::atomic<bool>& stopping)
      : Options(options), Stopping(stopping) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    CurrentSocket = sock;
    SocketStream stream(sock);
    const bool keep = Options.KeepAliveSeconds > 0 || Options.DropAfterResponse;
    bool result = true;
    for (int served = 0;; ++served) {
      if (served > 0 && (Options.DropAfterResponse || !NextRequestComes(sock))) break;
      CurrentHead = PeekHead(sock);
      bool closed = false;
      result = process_request(stream, !keep, closed, [](httplib::Request&) {});
      if (!result || closed || !keep) break;
    }
    CurrentSocket = -1;
    shutdown(sock, SHUT_RDWR);
    close(sock);
    return result;
  }

  // Waits, at most the keep-alive time, for the next request on a kept connection.
  bool NextRequestComes(int fd) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(Options.KeepAliveSeconds);
    while (!Stopping.load() && std::chrono::steady_clock::now() < until)
      if (WaitFor(fd, POLLIN, 50)) return !PeerGone(fd);
    return false;
  }

  const SiteOptions& Options;
  const std::atomic<bool>& Stopping;
};

}  // namespace

// A TLS host's requests are not peeked (the socket carries ciphertext); their
// heads are logged as httplib parsed them.
struct BoardSite::Listener {
  std::unique_ptr<httplib::Server> Server;
  std::thread Thread;
};

struct Handlers {
  BoardSite& Site;

  void Record(const std::string& hostName, const httplib::Request& req) {
    if (Site.Options.LogPath.empty()) return;
    std::string head = CurrentHead;
    if (head.empty()) {
      head = req.method + " " + req.target + " " + req.version + "\r\n";
      for (const auto& [name, value] : req.headers) head += name + ": " + value + "\r\n";
      head += "\r\n";
    }
    std::lock_guard<std::mutex> lock(Site.LogMutex);
    std::ofstream log(Site.Options.LogPath, std::ios::binary | std::ios::app);
    // The client's address and port tell its connections apart.
    log << "@@ " << hostName << " " << req.method << " " << req.target << " ~" << req.remote_addr << ":"
        << req.remote_port << "\n" << head;
  }

  const Host* FindHost(const std::string& hostPort) {
    for (const Host& h : Site.Hosts_)
      if (h.Address + ":" + std::to_string(h.Port) == hostPort) return &h;
    std::string name = hostPort.substr(0, hostPort.find(':'));
    for (const Host& h : Site.Hosts_)
      if (h.Name == name || h.Name == hostPort) return &h;
    return nullptr;
  }

  std::string RedirectTarget(const std::string& target) {
    if (target.find("://") != std::string::npos) return target;
    size_t slash = target.find('/');
    std::string name = target.substr(0, slash);
    std::string rest = slash == std::string::npos ? "/" : target.substr(slash);
    for (const Host& h : Site.Hosts_)
      if (h.Name == name) return "http://" + h.Address + ":" + std::to_string(h.Port) + rest;
    return rest;
  }

  void Direct(const Host& host, const httplib::Request& req, httplib::Response& res) {
    Record(host.Name, req);
    Answer(host, req.path, req, res);
  }

  void Proxy(const httplib::Request& req, httplib::Response& res) {
    Record("proxy", req);
    std::string target = req.target;
    const std::string scheme = "http://";
    if (target.rfind(scheme, 0) != 0) {
      SendError(res, 400);
      return;
    }
    size_t slash = target.find('/', scheme.size());
    std::string hostPort = target.substr(scheme.size(), slash - scheme.size());
    std::string path = slash == std::string::npos ? "/" : target.substr(slash);
    path = path.substr(0, path.find('?'));
    const Host* host = FindHost(hostPort);
    if (!host) {
      SendError(res, 502);
      return;
    }
    Answer(*host, path, req, res);
  }

  static void SendError(httplib::Response& res, int status) {
    res.status = status;
    res.set_content(ErrorPageHtml(status), "text/html");
  }

  void Answer(const Host& host, const std::string& path, const httplib::Request& req, httplib::Response& res) {
    if (path.find("..") != std::string::npos) {
      SendError(res, 403);
      return;
    }
    std::string file = host.Dir + path;
    std::string boardDir = file.substr(0, file.rfind('/'));
    BoardConfig config = ReadBoardConfig(boardDir + "/board.conf");
    if (config.DelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(config.DelayMs));
    if (config.Silent) {
      WaitUntilGone(Site.Stopping);
      ResetConnection();
      return;
    }
    if (!config.Redirect.empty()) {
      res.status = config.Status >= 300 && config.Status < 400 ? config.Status : 302;
      res.set_header("Location", RedirectTarget(config.Redirect));
      res.set_content("", "text/html");
      return;
    }
    std::string body;
    if (config.ErrorPage) {
      body = ErrorPageHtml(200);
    } else if (config.LongLine > 0) {
      body.assign(config.LongLine, 'x');
    } else if (!ReadFileBytes(file, body)) {
      SendError(res, 404);
      return;
    } else if (Site.Options.Conditional && config.Status == 200 && NotModified(file, body, req, res)) {
      res.status = 304;
      return;
    }
    if (config.OldHost) body = ToOldHostForm(body);
    if (!config.Comma.empty()) body = ToCommaForm(body, config.Comma);
    if (config.Euc) body = SjisToEuc(body);
    if (config.Nul) body.insert(body.find('\n', body.size() / 2) + 1, 1, '\0');
    if (config.Endless) {
      SendEndless(res, std::move(body));
      return;
    }
    if (config.Bomb) {
      res.set_header("Content-Encoding", "gzip");
      body = GzipBomb();
    }

    bool offered = req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
    if (config.FakeGzip) {
      res.set_header("Content-Encoding", "gzip");
    } else if (config.Gzip || config.XGzip || (Site.Options.GzipAll && offered && !config.Plain)) {
      body = GzipEncode(body);
      res.set_header("Content-Encoding", config.XGzip ? "x-gzip" : "gzip");
    }
    res.status = config.Status;
    Send(res, std::move(body), config, config.ErrorPage ? "text/html" : "text/plain");
  }

  // The list over and over, chunked, until the client goes (or 4 GB).
  void SendEndless(httplib::Response& res, std::string body) {
    if (body.empty()) body = "1.dat<>x (1)\n";
    auto shared = std::make_shared<std::string>(std::move(body));
    std::atomic<bool>* stopping = &Site.Stopping;
    res.set_chunked_content_provider("text/plain",
        [shared, stopping](size_t offset, httplib::DataSink& sink) {
          if (stopping->load() || offset > (4ull << 30)) return false;
          return sink.write(shared->data(), shared->size());
        });
  }

  // Bodies go out through a provider with a length: httplib then sends them
  // exactly as given (it compresses only what it holds as a plain body).
  void Send(httplib::Response& res, std::string body, const BoardConfig& config, const char* type) {
    if (body.empty()) {
      res.set_content("", type);
      return;
    }
    auto shared = std::make_shared<std::string>(std::move(body));
    std::atomic<bool>* stopping = &Site.Stopping;
    if (config.SlowlorisMs > 0) {
      // Never quiet long enough for a receive time-out, never done either.
      int pause = config.SlowlorisMs;
      res.set_content_provider(shared->size(), type,
          [shared, pause, stopping](size_t offset, size_t, httplib::DataSink& sink) {
            for (int waited = 0; waited < pause && !stopping->load(); waited += 20)
              std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return !stopping->load() && !(CurrentSocket >= 0 && PeerGone(CurrentSocket)) &&
                   sink.write(shared->data() + offset, 1);
          });
      return;
    }
    if (config.WrongLength) {
      // Announces more than there is: the whole body, then the connection closes.
      res.set_content_provider(shared->size() + 1000, type,
          [shared](size_t offset, size_t, httplib::DataSink& sink) {
            return offset < shared->size() && sink.write(shared->data() + offset, shared->size() - offset);
          });
      return;
    }
    bool partial = config.Stall || config.Reset;
    bool reset = config.Reset;
    res.set_content_provider(shared->size(), type,
        [shared, partial, reset, stopping](size_t offset, size_t length, httplib::DataSink& sink) {
          if (!partial) return sink.write(shared->data() + offset, length);
          size_t half = shared->size() / 2;
          if (offset < half) sink.write(shared->data() + offset, half - offset);
          if (reset) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ResetConnection();
          } else {
            WaitUntilGone(*stopping);
          }
          return false;
        });
  }
};

BoardSite::BoardSite(SiteOptions options) : Options(std::move(options)) {}

BoardSite::~BoardSite() { Stop(); }

bool BoardSite::Listen(std::vector<Host> hosts, bool proxy, const std::string& proxyAddress, std::string& error) {
  Hosts_ = std::move(hosts);
  auto handlers = std::make_shared<Handlers>(Handlers{*this});
  auto start = [&](const std::string& address, int& port, httplib::Server::Handler handler,
                   const Host* tls) {
    auto listener = std::make_unique<Listener>();
    if (tls) listener->Server = std::make_unique<httplib::SSLServer>(tls->CertFile.c_str(), tls->KeyFile.c_str());
    else listener->Server = std::make_unique<RecordingServer>(Options, Stopping);
    httplib::Server& server = *listener->Server;
    if (!server.is_valid()) return false;
    // The plain hosts keep connections themselves (RecordingServer); these
    // settings reach the TLS hosts and the Keep-Alive header.
    server.set_keep_alive_max_count(Options.KeepAliveSeconds > 0 ? 1000 : 1);
    if (Options.KeepAliveSeconds > 0) server.set_keep_alive_timeout(Options.KeepAliveSeconds);
    server.Get(".*", handler);
    server.Post(".*", handler);
    if (port == 0) {
      port = server.bind_to_any_port(address);
      if (port <= 0) return false;
    } else if (!server.bind_to_port(address, port)) {
      return false;
    }
    listener->Thread = std::thread([&server] { server.listen_after_bind(); });
    Listeners.push_back(std::move(listener));
    return true;
  };
  for (Host& host : Hosts_) {
    const Host* h = &host;
    if (!start(host.Address, host.Port, [handlers, h](const httplib::Request& req, httplib::Response& res) {
          handlers->Direct(*h, req, res);
        }, host.CertFile.empty() ? nullptr : h)) {
      error = "cannot listen on " + host.Address + ":" + std::to_string(host.Port);
      return false;
    }
  }
  if (proxy && !start(proxyAddress, ProxyPort_, [handlers](const httplib::Request& req, httplib::Response& res) {
        handlers->Proxy(req, res);
      }, nullptr)) {
    error = "cannot listen on " + proxyAddress + " for the proxy";
    return false;
  }
  return true;
}

void BoardSite::Stop() {
  Stopping.store(true);
  for (auto& listener : Listeners) listener->Server->stop();
  for (auto& listener : Listeners)
    if (listener->Thread.joinable()) listener->Thread.join();
  Listeners.clear();
}

}  // namespace vekserver
