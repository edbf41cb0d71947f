// What the benchmarks that fetch boards share: a board's list stored
// gzip-encoded for the loopback board server to send as it is (so the server
// spends no time compressing and both sides measure the client's own work),
// and the libcurl write callback of the plain-libcurl references.
#pragma once
#include <zlib.h>

#include <filesystem>
#include <string>

#include "BenchProcess.h"

namespace vek::bench {

inline void WriteGzipBoard(const std::filesystem::path& dir, const std::string& body) {
  std::filesystem::create_directories(dir);
  gzFile out = gzopen((dir / "subject.txt").c_str(), "wb6");
  gzwrite(out, body.data(), static_cast<unsigned>(body.size()));
  gzclose(out);
  WriteBytes(dir / "board.conf", "fake-gzip\n");
}

inline size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace vek::bench
