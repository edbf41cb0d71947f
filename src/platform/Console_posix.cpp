// Code page 932 <-> UTF-8 with iconv, and terminal output as UTF-8.
#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "platform/Console.h"

namespace vek::platform {
namespace {

// One converter per direction and thread: opening an iconv descriptor costs
// far more than converting a file name, and a descriptor keeps shift state,
// so threads must not share one.
class TConverter {
 public:
  TConverter(const char* to, const char* from) : Cd_(iconv_open(to, from)) {
    if (Cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
  }
  ~TConverter() { iconv_close(Cd_); }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  // Bytes that cannot be converted become "?"; skipLength says how many input
  // bytes such a character occupies.
  std::string Convert(std::string_view in, size_t (*skipLength)(std::string_view)) {
    std::string out;
    out.resize(in.size() * 3 / 2 + 16);
    iconv(Cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t r = iconv(Cd_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else {
        size_t skip = errno == EINVAL ? srcLeft : std::min(srcLeft, skipLength(std::string_view(src, srcLeft)));
        src += skip;
        srcLeft -= skip;
        if (used == out.size()) out.resize(out.size() * 2);
        out[used++] = '?';
      }
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t Cd_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

size_t Cp932CharLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  return ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && s.size() > 1 ? 2 : 1;
}

size_t Utf8CharLength(std::string_view s) {
  unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  for (size_t i = 1; i < n; ++i)
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
  return n;
}

void WriteAll(int fd, FILE* stream, std::string_view cp932) {
  std::string text = Cp932ToUtf8(cp932);
  std::fflush(stream);
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // a closed terminal is no reason to stop a run
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  if (IsAscii(cp932)) return std::string(cp932);
  thread_local TConverter converter("UTF-8", "CP932");
  return converter.Convert(cp932, Cp932CharLength);
}

std::string Utf8ToCp932(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local TConverter converter("CP932", "UTF-8");
  return converter.Convert(utf8, Utf8CharLength);
}

void WriteStdout(std::string_view cp932) { WriteAll(STDOUT_FILENO, stdout, cp932); }
void WriteStderr(std::string_view cp932) { WriteAll(STDERR_FILENO, stderr, cp932); }
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace vek::platform
