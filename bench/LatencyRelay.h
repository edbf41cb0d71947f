// A network that is far away, on loopback: a TCP relay in user space (this
// kernel has no netem). Every chunk is passed on half a round trip after it
// arrived, in each direction, and the first chunk of a new connection one
// round trip later still, which is what its handshake costs. Each port of the
// relay leads to one port on 127.0.0.1; it counts the connections it accepts.
#pragma once
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vek::bench {

class TLatencyRelay {
 public:
  explicit TLatencyRelay(int rttMs) : Rtt(std::chrono::milliseconds(rttMs)) {}
  ~TLatencyRelay() {
    Stopping.store(true);
    std::unique_lock<std::mutex> lock(Mutex);
    AllDone.wait(lock, [this] { return Running == 0; });
    for (int fd : Listeners) close(fd);
  }
  TLatencyRelay(const TLatencyRelay&) = delete;
  TLatencyRelay& operator=(const TLatencyRelay&) = delete;

  // A new port of the relay leading to upstreamPort; 0 when it cannot listen.
  int Add(int upstreamPort) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      if (fd >= 0) close(fd);
      return 0;
    }
    Listeners.push_back(fd);
    Spawn([this, fd, upstreamPort] { Accept(fd, upstreamPort); });
    return ntohs(address.sin_port);
  }

  // Connections accepted so far, on every port.
  int Connections() const { return Accepted.load(); }
  // Bytes the servers sent to the clients so far (headers and bodies).
  long long BytesReceived() const { return Downstream.load(); }

 private:
  using TClock = std::chrono::steady_clock;
  struct TChunk {
    TClock::time_point Due;
    std::string Bytes;  // empty: the sender closed its side
  };
  // One direction of a connection: what was read, waiting for its moment.
  struct TPipe {
    std::mutex Mutex;
    std::condition_variable Ready;
    std::deque<TChunk> Chunks;
  };
  struct TConnection {
    int Client = -1, Server = -1;
    std::atomic<bool> Broken{false};
    TPipe Up, Down;
    ~TConnection() {
      close(Client);
      close(Server);
    }
  };

  static sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
  }

  // A thread of its own, counted until it ends (a relay of many short
  // connections makes thousands of them).
  template <typename F>
  void Spawn(F body) {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      ++Running;
    }
    std::thread([this, body = std::move(body)]() mutable {
      body();
      std::lock_guard<std::mutex> lock(Mutex);
      if (--Running == 0) AllDone.notify_all();
    }).detach();
  }

  bool Readable(int fd) const {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 100) > 0;
  }

  void Accept(int listener, int upstreamPort) {
    while (!Stopping.load()) {
      if (!Readable(listener)) continue;
      int client = accept(listener, nullptr, nullptr);
      if (client < 0) continue;
      const TClock::time_point accepted = TClock::now();
      ++Accepted;
      auto c = std::make_shared<TConnection>();
      c->Client = client;
      c->Server = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in upstream = Loopback(upstreamPort);
      if (connect(c->Server, reinterpret_cast<sockaddr*>(&upstream), sizeof upstream) != 0) continue;
      int one = 1;
      setsockopt(c->Client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      setsockopt(c->Server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      // The handshake's round trip comes before the request can go out.
      Spawn([this, c, accepted] { Read(*c, c->Client, c->Up, accepted + Rtt); });
      Spawn([this, c] { Write(*c, c->Server, c->Up); });
      Spawn([this, c, accepted] { Read(*c, c->Server, c->Down, accepted); });
      Spawn([this, c] { Write(*c, c->Client, c->Down); });
    }
  }

  void Read(TConnection& c, int from, TPipe& pipe, TClock::time_point notBefore) {
    char buffer[65536];
    for (;;) {
      if (Stopping.load() || c.Broken.load()) break;
      if (!Readable(from)) continue;
      ssize_t n = recv(from, buffer, sizeof buffer, 0);
      if (n > 0 && &pipe == &c.Down) Downstream += n;
      TClock::time_point due = std::max(TClock::now(), notBefore) + Rtt / 2;
      std::lock_guard<std::mutex> lock(pipe.Mutex);
      pipe.Chunks.push_back({due, n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string()});
      pipe.Ready.notify_one();
      if (n <= 0) return;
    }
    std::lock_guard<std::mutex> lock(pipe.Mutex);
    pipe.Chunks.push_back({TClock::now(), std::string()});
    pipe.Ready.notify_one();
  }

  void Write(TConnection& c, int to, TPipe& pipe) {
    for (;;) {
      TChunk chunk;
      {
        std::unique_lock<std::mutex> lock(pipe.Mutex);
        pipe.Ready.wait(lock, [&] { return !pipe.Chunks.empty(); });
        chunk = std::move(pipe.Chunks.front());
        pipe.Chunks.pop_front();
      }
      std::this_thread::sleep_until(chunk.Due);
      if (chunk.Bytes.empty()) {
        shutdown(to, SHUT_WR);
        return;
      }
      for (size_t sent = 0; sent < chunk.Bytes.size();) {
        ssize_t n = send(to, chunk.Bytes.data() + sent, chunk.Bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
          c.Broken.store(true);
          return;
        }
        sent += static_cast<size_t>(n);
      }
    }
  }

  const std::chrono::milliseconds Rtt;
  std::atomic<bool> Stopping{false};
  std::atomic<int> Accepted{0};
  std::atomic<long long> Downstream{0};
  std::vector<int> Listeners;
  std::mutex Mutex;
  std::condition_variable AllDone;
  int Running = 0;  // under Mutex
};

}  // namespace vek::bench
