// Board settings and body transformations of the loopback board server.
#include "BoardBody.h"

#include <iconv.h>
#include <zlib.h>

#include <fstream>
#include <sstream>

namespace vekserver {
namespace {

std::string Trim(std::string s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Calls fn(line, ending) for each line with its own line end kept apart.
template <typename Fn>
void ForEachLine(const std::string& text, Fn fn) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    size_t bodyEnd = end == std::string::npos ? text.size() : end;
    if (bodyEnd > pos && text[bodyEnd - 1] == '\r') --bodyEnd;
    fn(text.substr(pos, bodyEnd - pos), text.substr(bodyEnd, next - bodyEnd));
    pos = next;
  }
}

}  // namespace

BoardConfig ReadBoardConfig(const std::string& path) {
  BoardConfig config;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::istringstream words(line);
    std::string key, value;
    words >> key;
    std::getline(words, value);
    value = Trim(value);
    if (key == "gzip") config.Gzip = true;
    else if (key == "x-gzip") config.XGzip = true;
    else if (key == "fake-gzip") config.FakeGzip = true;
    else if (key == "plain") config.Plain = true;
    else if (key == "euc") config.Euc = true;
    else if (key == "comma") config.Comma = value.empty() ? "dat" : value;
    else if (key == "oldhost") config.OldHost = true;
    else if (key == "stall") config.Stall = true;
    else if (key == "silent") config.Silent = true;
    else if (key == "reset") config.Reset = true;
    else if (key == "error-page") config.ErrorPage = true;
    else if (key == "status") config.Status = std::stoi(value);
    else if (key == "delay") config.DelayMs = std::stoi(value);
    else if (key == "redirect") config.Redirect = value;
    else if (key == "endless") config.Endless = true;
    else if (key == "bomb") config.Bomb = true;
    else if (key == "nul") config.Nul = true;
    else if (key == "long-line") config.LongLine = value.empty() ? 10u * 1024 * 1024 : std::stoul(value);
    else if (key == "slowloris") config.SlowlorisMs = value.empty() ? 2000 : std::stoi(value);
    else if (key == "wrong-length") config.WrongLength = true;
  }
  return config;
}

std::string GzipEncode(std::string_view data) {
  z_stream zs{};
  // 15 + 16: a gzip wrapper around the deflate data.
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&zs, data.size()) + 32, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return rc == Z_STREAM_END ? out : std::string();
}

const std::string& GzipBomb() {
  static const std::string bomb = [] {
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::string();
    const std::string zeros(1u << 20, '\0');
    std::string out;
    char buffer[65536];
    for (int megabyte = 0; megabyte <= 256; ++megabyte) {
      bool last = megabyte == 256;
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
      zs.avail_in = last ? 0 : static_cast<uInt>(zeros.size());
      do {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - zs.avail_out);
      } while (zs.avail_out == 0);
    }
    deflateEnd(&zs);
    return out;
  }();
  return bomb;
}

std::string SjisToEuc(const std::string& text) {
  iconv_t cd = iconv_open("EUC-JP-MS", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return text;
  out.resize(out.size() - outLeft);
  return out;
}

std::string ToCommaForm(const std::string& text, const std::string& extension) {
  std::string out;
  ForEachLine(text, [&](const std::string& line, const std::string& ending) {
    size_t at = line.find(".dat<>");
    if (at == std::string::npos) out += line;
    else out += line.substr(0, at) + "." + extension + "," + line.substr(at + 6);
    out += ending;
  });
  return out;
}

std::string ToOldHostForm(const std::string& text) {
  std::string out;
  ForEachLine(text, [&](const std::string& line, const std::string& ending) {
    size_t at = line.find(".dat<>");
    size_t open = line.rfind(" (");
    if (at == std::string::npos || open == std::string::npos || open < at || line.back() != ')') {
      out += line + ending;
      return;
    }
    std::string key = line.substr(0, at);
    std::string title = line.substr(at + 6, open - at - 6);
    std::string count = line.substr(open + 2, line.size() - open - 3);
    out += key + "_0<>" + title + "<>" + count + ending;
  });
  return out;
}

std::string ErrorPageHtml(int status) {
  return "<html><head><title>" + std::to_string(status) +
         " error</title></head><body><h1>The board is not available</h1></body></html>\n";
}

}  // namespace vekserver
