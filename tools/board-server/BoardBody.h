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
};

// Reads "board.conf" (one keyword per line, "#" comments); defaults when absent.
BoardConfig ReadBoardConfig(const std::string& path);

std::string GzipEncode(std::string_view data);
std::string SjisToEuc(const std::string& text);     // unchanged when it cannot convert
std::string ToCommaForm(const std::string& text, const std::string& extension);
std::string ToOldHostForm(const std::string& text);

// The page an error status or "error-page" sends.
std::string ErrorPageHtml(int status);

}  // namespace vekserver
