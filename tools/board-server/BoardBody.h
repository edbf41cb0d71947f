// What a board answers: its settings file ("board.conf" beside the served
// file) and the transformations of a body before it is sent.
#pragma once
#include <string>
#include <string_view>

namespace vekserver {

struct BoardConfig {
  bool Gzip = false;        // gzip-encode, labelled "gzip"
  bool XGzip = false;       // gzip-encode, labelled "x-gzip"
  bool FakeGzip = false;    // labelled gzip, sent plain
  bool Plain = false;       // never encoded, even with --gzip
  bool Euc = false;         // Shift_JIS file sent as EUC-JP
  std::string Comma;        // "dat" or "cgi": the comma form
  bool OldHost = false;     // three "<>" fields: id_x, title, count
  bool Stall = false;       // part of the body, then nothing
  bool Silent = false;      // reads the request, never answers
  bool Reset = false;       // part of the body, then a connection reset
  bool ErrorPage = false;   // 200 with an HTML error page instead of the file
  int Status = 200;
  int DelayMs = 0;
  std::string Redirect;     // "hostdir/path" or a full URL
  // Hostile answers.
  bool Endless = false;     // list lines repeated without end (chunked)
  bool Bomb = false;        // a small gzip body that inflates to 256 MB of zeros
  bool Nul = false;         // a NUL byte in the middle of the list
  size_t LongLine = 0;      // instead of the file: one line of this many bytes, no line end
  int SlowlorisMs = 0;      // one byte of the body every this many milliseconds
  bool WrongLength = false; // Content-Length 1000 beyond the body, then the connection closes
};

// Reads "board.conf" (one keyword per line, "#" comments); defaults when absent.
BoardConfig ReadBoardConfig(const std::string& path);

std::string GzipEncode(std::string_view data);
// The gzip bomb: made once, kept for the life of the server.
const std::string& GzipBomb();
std::string SjisToEuc(const std::string& text);     // unchanged when it cannot convert
std::string ToCommaForm(const std::string& text, const std::string& extension);
std::string ToOldHostForm(const std::string& text);

// The page an error status or "error-page" sends.
std::string ErrorPageHtml(int status);

}  // namespace vekserver
