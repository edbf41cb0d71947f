// One HTTP GET as the download worker needs it: a full URL fetched with our
// User-Agent through an explicit proxy or directly, the two extra request
// headers, no cache, redirects followed, the body handed over raw (no
// automatic decoding) chunk by chunk. Windows uses WinInet, POSIX libcurl.
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
  // handler that said stop. The HTTP status is not looked at.
  bool Get(const std::string& url, const ChunkHandler& onChunk);
  // The response's Content-Encoding value after Get ("" when absent).
  const std::string& ContentEncoding() const { return ContentEncoding_; }
  // After a failed Get whose secure connection was refused (the server's
  // certificate is not trusted, expired or for another name; the TLS
  // handshake failed): why, in the HTTP library's own words. "" otherwise.
  // https uses the system's trust store; there is nothing to configure.
  const std::string& TlsFailure() const { return TlsFailure_; }
  // Worker thread: releases the handles of the download.
  void Close();

  // Any thread, at any moment, any number of times: makes a pending or later
  // Open/Get of this session fail promptly. Only a new session starts afresh.
  void Abort();

 private:
  struct Impl;
  std::unique_ptr<Impl> Impl_;
  std::string ContentEncoding_;
  std::string TlsFailure_;
};

// Takes the HTTP library out of an offline mode (Windows); nothing elsewhere.
void HttpForceOnline();

}  // namespace vek::platform
