// vek-board-server: serves board lists from a directory tree on loopback
// addresses, for the tests, the benchmark and the demo. See tools/README.md.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "BoardHttp.h"

namespace fs = std::filesystem;

namespace {

volatile sig_atomic_t Signalled = 0;
void OnSignal(int) { Signalled = 1; }

struct Options {
  vekserver::SiteOptions Site;
  std::string PortsFile;
  std::string TlsDir;  // NAME.pem and NAME.key here: host NAME speaks TLS
  int TimeLimit = 900;
  bool SingleAddress = false;
  int FirstOctet = 2;
  int Port = 0;
  bool Proxy = false;
  bool WatchStdin = false;
  bool Quiet = false;
};

void Usage() {
  std::cerr << "usage: vek-board-server --root DIR [--ports-file FILE] [--log FILE]\n"
               "         [--time-limit SECONDS] [--gzip] [--proxy] [--single-address]\n"
               "         [--first-address N] [--port N] [--tls DIR] [--watch-stdin] [--quiet]\n"
               "         [--keep-alive SECONDS] [--drop-after-response] [--conditional]\n";
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--root") options.Site.Root = value();
    else if (arg == "--log") options.Site.LogPath = value();
    else if (arg == "--ports-file") options.PortsFile = value();
    else if (arg == "--time-limit") options.TimeLimit = std::stoi(value());
    else if (arg == "--gzip") options.Site.GzipAll = true;
    else if (arg == "--proxy") options.Proxy = true;
    else if (arg == "--single-address") options.SingleAddress = true;
    else if (arg == "--first-address") options.FirstOctet = std::stoi(value());
    else if (arg == "--port") options.Port = std::stoi(value());
    else if (arg == "--tls") options.TlsDir = value();
    else if (arg == "--watch-stdin") options.WatchStdin = true;
    else if (arg == "--quiet") options.Quiet = true;
    else if (arg == "--keep-alive") options.Site.KeepAliveSeconds = std::stoi(value());
    else if (arg == "--drop-after-response") options.Site.DropAfterResponse = true;
    else if (arg == "--conditional") options.Site.Conditional = true;
    else throw std::invalid_argument("unknown option " + arg);
  }
  if (options.Site.Root.empty()) throw std::invalid_argument("--root is required");
  return true;
}

std::vector<vekserver::Host> HostsOf(const Options& options) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(options.Site.Root))
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<vekserver::Host> hosts;
  int octet = options.FirstOctet;
  for (const std::string& name : names) {
    vekserver::Host host;
    host.Name = name;
    host.Dir = (fs::path(options.Site.Root) / name).string();
    host.Address = options.SingleAddress ? "127.0.0.1" : "127.0.0." + std::to_string(octet++);
    host.Port = options.Port;
    if (!options.TlsDir.empty()) {
      fs::path cert = fs::path(options.TlsDir) / (name + ".pem"), key = fs::path(options.TlsDir) / (name + ".key");
      if (fs::exists(cert) && fs::exists(key)) {
        host.CertFile = cert.string();
        host.KeyFile = key.string();
      }
    }
    hosts.push_back(host);
  }
  return hosts;
}

// Written whole and renamed into place, so a reader never sees half of it.
void WritePortsFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
  }
  fs::rename(temporary, path);
}

bool StdinClosed() {
  pollfd p{0, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  char buffer[256];
  return read(0, buffer, sizeof buffer) <= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    ParseOptions(argc, argv, options);
  } catch (const std::exception& e) {
    std::cerr << "vek-board-server: " << e.what() << "\n";
    Usage();
    return 2;
  }
  signal(SIGTERM, OnSignal);
  signal(SIGINT, OnSignal);
  signal(SIGPIPE, SIG_IGN);

  vekserver::BoardSite site(options.Site);
  std::string error;
  std::vector<vekserver::Host> hosts;
  try {
    hosts = HostsOf(options);
  } catch (const std::exception& e) {
    std::cerr << "vek-board-server: " << e.what() << "\n";
    return 1;
  }
  if (!site.Listen(hosts, options.Proxy, "127.0.0.1", error)) {
    std::cerr << "vek-board-server: " << error << "\n";
    return 1;
  }
  std::string ready;
  for (const auto& host : site.Hosts())
    ready += "host " + host.Name + " " + host.Address + ":" + std::to_string(host.Port) + "\n";
  if (options.Proxy) ready += "proxy 127.0.0.1:" + std::to_string(site.ProxyPort()) + "\n";
  ready += "ready\n";
  if (!options.Quiet) std::cout << ready << std::flush;
  if (!options.PortsFile.empty()) WritePortsFile(options.PortsFile, ready);

  // Stops by itself: time limit, a signal, its ports file removed, stdin closed.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.TimeLimit);
  while (!Signalled && std::chrono::steady_clock::now() < deadline) {
    if (!options.PortsFile.empty() && !fs::exists(options.PortsFile)) break;
    if (options.WatchStdin && StdinClosed()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  site.Stop();
  return 0;
}
