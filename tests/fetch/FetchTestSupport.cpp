// One board server per test program and small helpers of the fetch tests.
#include "FetchTestSupport.h"

#include <zlib.h>

#include <atomic>
#include <memory>

namespace vek::test {

BoardServerProcess& SharedBoardServer() {
  static std::unique_ptr<BoardServerProcess> server =
      std::make_unique<BoardServerProcess>(std::vector<std::string>{"a", "b"}, std::vector<std::string>{"--proxy"});
  return *server;
}

bool BoardServerUp() {
  BoardServerProcess& server = SharedBoardServer();
  if (!server.Running()) ADD_FAILURE() << server.Problem();
  return server.Running();
}

std::string Gzip(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 64, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

std::string UniqueName(const std::string& stem) {
  static std::atomic<int> counter{0};
  return stem + std::to_string(counter++);
}

}  // namespace vek::test
