// One HTTP GET as the download worker needs it: a full URL fetched with our
// User-Agent through an explicit proxy or directly, the two extra request
// headers, no cache, redirects followed, the body handed over raw (no
// automatic decoding) chunk by chunk; a request may be made conditional on a
// list the caller keeps. Windows uses WinInet, POSIX libcurl.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vek::platform {

// The extra request headers of every download (37 bytes; "Accept:" has no
// blank): WinInet takes the block as it is, libcurl line by line.
inline constexpr std::string_view HttpExtraHeaders = "Accept:*/*\r\nAccept-Encoding: gzip\r\n\r\n";
// Connect and receive time-outs, in milliseconds.
inline constexpr unsigned HttpTimeoutMs = 5000;
// Redirects followed for one download.
inline constexpr unsigned HttpMaxRedirects = 10;
// Read chunk size.
inline constexpr size_t HttpChunkSize = 8192;
// A board list is a few hundred KB: a body beyond this is refused.
inline constexpr size_t HttpMaxBodySize = 32u * 1024 * 1024;

// A response's validators, exactly as the server sent them; empty: not sent.
// Given to a request, each one present becomes its conditional header
// (If-Modified-Since, If-None-Match).
struct THttpValidators {
  std::string LastModified;
  std::string ETag;
  bool Empty() const { return LastModified.empty() && ETag.empty(); }
  bool operator==(const THttpValidators&) const = default;
};

// A value that can go into a request header as it is: no control character
// that could end the header.
inline bool IsSendableHeaderValue(std::string_view value) {
  for (unsigned char c : value)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

// The request header lines of the validators, each ending in CR LF; a value
// that cannot be sent as it is is left out.
inline std::string ConditionalHeaderLines(const THttpValidators& v) {
  auto line = [](std::string_view name, const std::string& value) {
    if (value.empty() || !IsSendableHeaderValue(value)) return std::string();
    return std::string(name) + ": " + value + "\r\n";
  };
  return line("If-Modified-Since", v.LastModified) + line("If-None-Match", v.ETag);
}

// The status of an answer that says the caller's copy is still current.
inline constexpr int HttpNotModified = 304;

class THttpSession {
 public:
  // Called for every chunk of the body as it arrives; false stops the download.
  using ChunkHandler = std::function<bool(std::string_view chunk)>;

  THttpSession();
  ~THttpSession();  // closes whatever is still open
  THttpSession(const THttpSession&) = delete;
  THttpSession& operator=(const THttpSession&) = delete;

  // Worker thread. proxy is "host:port" (empty: a direct connection; the
  // system's or the environment's proxy configuration is never used).
  // False when the HTTP library cannot be opened.
  bool Open(const std::string& agent, const std::string& proxy);
  // Worker thread, after Open. One GET; every chunk goes to onChunk. True when
  // the whole body arrived; false for any failure: the URL could not be
  // opened, a time-out, a reset, an abort, a body beyond HttpMaxBodySize or a
  // handler that said stop. The HTTP status is not looked at here.
  // With validators the request carries their conditional headers; without,
  // it carries none.
  // Any number of Gets, one after another, share the session's connections:
  // a host's connection (and TLS session) stays open from one to the next,
  // and one that the server closed while it was idle is replaced by a new
  // connection for the same request, once.
  bool Get(const std::string& url, const ChunkHandler& onChunk, const THttpValidators& conditions = {});
  // The response's Content-Encoding value after Get ("" when absent).
  const std::string& ContentEncoding() const { return ContentEncoding_; }
  // The final response's status (0 when none arrived) and validators, after Get.
  int Status() const { return Status_; }
  const THttpValidators& Validators() const { return Validators_; }
  // After a failed Get whose secure connection was refused (the server's
  // certificate is not trusted, expired or for another name; the TLS
  // handshake failed): why, in the HTTP library's own words. "" otherwise.
  // https uses the system's trust store; there is nothing to configure.
  const std::string& TlsFailure() const { return TlsFailure_; }
  // Worker thread: releases the handles of the download.
  void Close();

  // Any thread, at any moment, any number of times: makes the Get under way,
  // or the next one when none is, fail promptly. Only that download's own
  // connection is closed; the other hosts' kept connections stay.
  void Abort();
  // Worker thread, between Gets: the next Get runs again (an Abort that came
  // for the last one is spent).
  void Rearm();

 private:
  struct Impl;
  std::unique_ptr<Impl> Impl_;
  std::string ContentEncoding_;
  std::string TlsFailure_;
  int Status_ = 0;
  THttpValidators Validators_;
};

// Takes the HTTP library out of an offline mode (Windows); nothing elsewhere.
void HttpForceOnline();

}  // namespace vek::platform
