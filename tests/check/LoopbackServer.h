// A minimal HTTP server on 127.0.0.1 for the run's tests: answers GET of the
// paths the test put in with 200 and the body, anything else with 404, and
// records what was asked. On Windows (Winsock) the window's tests use it.
// It closes each connection after its answer, or, made with keepAlive, keeps
// it for the client's next request as board servers do.
#pragma once
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vek::test {

#ifdef _WIN32
using TSocket = SOCKET;
inline int ClosePeer(TSocket s) { return ::closesocket(s); }
inline int PollPeer(pollfd* p, unsigned long n, int ms) { return ::WSAPoll(p, n, ms); }
constexpr int NoSignal = 0;
#else
using TSocket = int;
inline int ClosePeer(TSocket s) { return ::close(s); }
inline int PollPeer(pollfd* p, nfds_t n, int ms) { return ::poll(p, n, ms); }
constexpr int NoSignal = MSG_NOSIGNAL;
#endif

class TLoopbackServer {
 public:
  explicit TLoopbackServer(bool keepAlive = false) : KeepAlive(keepAlive) {
#ifdef _WIN32
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
#endif
    Listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(Listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(Listener, 16);
    socklen_t len = sizeof addr;
    ::getsockname(Listener, reinterpret_cast<sockaddr*>(&addr), &len);
    Port = ntohs(addr.sin_port);
    Worker = std::thread([this] { Serve(); });
  }
  ~TLoopbackServer() {
    Stopping = true;
    Worker.join();
    for (const TClient& client : Clients) ClosePeer(client.Fd);
    ClosePeer(Listener);
  }
  void Put(const std::string& path, const std::string& body) {
    std::lock_guard lock(Mutex);
    Bodies[path] = body;
  }
  std::vector<std::string> Requests() {
    std::lock_guard lock(Mutex);
    return Asked;
  }
  void ForgetRequests() {
    std::lock_guard lock(Mutex);
    std::vector<std::string>().swap(Asked);
  }
  int Port = 0;

 private:
  struct TClient {
    TSocket Fd;
    std::string Pending;  // what came of the next request
  };
  void Serve() {
    while (!Stopping) {
      std::vector<pollfd> polled{{Listener, POLLIN, 0}};
      for (const TClient& client : Clients) polled.push_back({client.Fd, POLLIN, 0});
      if (PollPeer(polled.data(), static_cast<unsigned>(polled.size()), 20) <= 0) continue;
      for (size_t i = polled.size() - 1; i > 0; --i) {
        if (!polled[i].revents) continue;
        const int answered = Receive(Clients[i - 1]);
        if (answered < 0 || (answered > 0 && !KeepAlive)) {
          ClosePeer(Clients[i - 1].Fd);
          Clients.erase(Clients.begin() + static_cast<std::ptrdiff_t>(i - 1));
        }
      }
      if (!polled[0].revents) continue;
      const TSocket fd = ::accept(Listener, nullptr, nullptr);
      if (fd != static_cast<TSocket>(-1)) Clients.push_back({fd, {}});
    }
  }
  // Reads what came and answers every request that is whole: how many, or
  // -1 when the client closed or the connection failed.
  int Receive(TClient& client) {
    char buffer[4096];
    const int n = static_cast<int>(::recv(client.Fd, buffer, sizeof buffer, 0));
    if (n <= 0) return -1;
    client.Pending.append(buffer, static_cast<size_t>(n));
    int answered = 0;
    for (size_t end; (end = client.Pending.find("\r\n\r\n")) != std::string::npos; ++answered) {
      const std::string request = client.Pending.substr(0, end + 4);
      client.Pending.erase(0, end + 4);
      if (!Answer(client.Fd, request)) return -1;
    }
    return answered;
  }
  bool Answer(TSocket fd, const std::string& request) {
    const size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    std::string response;
    {
      std::lock_guard lock(Mutex);
      Asked.push_back(path);
      const auto it = Bodies.find(path);
      const std::string body = it == Bodies.end() ? "not here" : it->second;
      response = std::string(it == Bodies.end() ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK") +
                 "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                 (KeepAlive ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n") + body;
    }
    for (size_t sent = 0; sent < response.size();) {
      const int n = static_cast<int>(::send(fd, response.data() + sent, static_cast<int>(response.size() - sent), NoSignal));
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  const bool KeepAlive;
  TSocket Listener = static_cast<TSocket>(-1);
  std::vector<TClient> Clients;  // the worker's own
  std::atomic<bool> Stopping{false};
  std::thread Worker;
  std::mutex Mutex;
  std::map<std::string, std::string> Bodies;
  std::vector<std::string> Asked;
};

}  // namespace vek::test
