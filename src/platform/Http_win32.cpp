// The HTTP session on WinInet. Abort closes the root handle from the other
// thread, which makes a WinInet call blocked on it (or on the request handle
// opened from it) return with a failure; the handle is taken out of the
// session atomically, so it is closed exactly once.
#include "platform/Http.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>

namespace vek::platform {
namespace {

void SetDword(HINTERNET handle, DWORD option, DWORD value) {
  InternetSetOptionA(handle, option, &value, sizeof value);
}

void CloseHandleOnce(std::atomic<HINTERNET>& slot) {
  if (HINTERNET handle = slot.exchange(nullptr)) InternetCloseHandle(handle);
}

}  // namespace

struct HttpSession::Impl {
  std::atomic<HINTERNET> Internet{nullptr};
  std::atomic<bool> Aborted{false};
  HINTERNET Connection = nullptr;  // worker only
  HINTERNET Request = nullptr;     // worker only
};

HttpSession::HttpSession() : impl_(std::make_unique<Impl>()) {}

HttpSession::~HttpSession() { Close(); }

bool HttpSession::Open(const std::string& agent, const std::string& proxy) {
  Close();
  if (impl_->Aborted.load()) return false;
  // The system's proxy configuration is never used: a fixed proxy or none.
  HINTERNET internet =
      proxy.empty() ? InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                    : InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0);
  if (!internet) return false;
  impl_->Internet.store(internet);
  // An Abort that came while the handle was being made must still take effect.
  if (impl_->Aborted.load()) {
    CloseHandleOnce(impl_->Internet);
    return false;
  }
  SetDword(internet, INTERNET_OPTION_CONNECT_TIMEOUT, HttpTimeoutMs);
  SetDword(internet, INTERNET_OPTION_CONNECT_RETRIES, 0);
  SetDword(internet, INTERNET_OPTION_CONNECT_BACKOFF, 0);
  SetDword(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, HttpTimeoutMs);
  return true;
}

namespace {

struct TUrlParts {
  std::string Host;
  std::string Path;  // with the "?" and "#" parts
  INTERNET_PORT Port = 0;
  bool Secure = false;
};

// Only http and https URLs are taken.
bool CrackUrl(const std::string& url, TUrlParts& result) {
  char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
  std::string path(url.size() + 1, '\0');
  std::string extra(url.size() + 1, '\0');
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();  // "?" and "#" parts, kept apart from the path
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  path.resize(parts.dwUrlPathLength);
  if (path.empty()) path = "/";
  result.Host = host;
  result.Path = path + extra.substr(0, parts.dwExtraInfoLength);
  result.Port = parts.nPort;
  result.Secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

// The request is made in its three WinInet steps rather than with one
// InternetOpenUrlA: only a connection handle takes the send and receive
// time-outs along to its request in every WinInet (Wine's included), and a
// server that accepts and then stays silent must end in 5 seconds.
bool SendRequest(HINTERNET internet, const TUrlParts& url, HINTERNET& connection, HINTERNET& request) {
  connection = InternetConnectA(internet, url.Host.c_str(), url.Port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection) return false;
  for (HINTERNET h : {internet, connection}) {
    SetDword(h, INTERNET_OPTION_CONNECT_TIMEOUT, HttpTimeoutMs);
    SetDword(h, INTERNET_OPTION_SEND_TIMEOUT, HttpTimeoutMs);
    SetDword(h, INTERNET_OPTION_RECEIVE_TIMEOUT, HttpTimeoutMs);
  }
  // Always from the server, never the local cache; today's servers send
  // http requests on to https, and that redirect is followed.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  if (url.Secure) flags |= INTERNET_FLAG_SECURE;
  request = HttpOpenRequestA(connection, "GET", url.Path.c_str(), nullptr, nullptr, nullptr, flags, 0);
  if (!request) return false;
  SetDword(request, INTERNET_OPTION_SEND_TIMEOUT, HttpTimeoutMs);
  SetDword(request, INTERNET_OPTION_RECEIVE_TIMEOUT, HttpTimeoutMs);
  return HttpSendRequestA(request, HttpExtraHeaders.data(), static_cast<DWORD>(HttpExtraHeaders.size()), nullptr, 0);
}

bool ReadBody(HINTERNET request, const std::atomic<bool>& aborted, const HttpSession::ChunkHandler& onChunk) {
  char buffer[HttpChunkSize];
  size_t received = 0;
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer, sizeof buffer, &read)) return false;
    if (read == 0) return true;
    received += read;
    if (received > HttpMaxBodySize) return false;
    if (!onChunk(std::string_view(buffer, read))) return false;
    if (aborted.load()) return false;
  }
}

}  // namespace

bool HttpSession::Get(const std::string& url, const ChunkHandler& onChunk) {
  ContentEncoding_.clear();
  HINTERNET internet = impl_->Internet.load();
  if (!internet || impl_->Aborted.load()) return false;
  TUrlParts parts;
  if (!CrackUrl(url, parts)) return false;
  if (!SendRequest(internet, parts, impl_->Connection, impl_->Request)) return false;
  if (!ReadBody(impl_->Request, impl_->Aborted, onChunk)) return false;

  char value[HttpChunkSize] = {};
  DWORD length = sizeof value - 1;
  DWORD index = 0;
  if (HttpQueryInfoA(impl_->Request, HTTP_QUERY_CONTENT_ENCODING, value, &length, &index))
    ContentEncoding_ = std::string(value);  // up to the first NUL
  return !impl_->Aborted.load();
}

void HttpSession::Close() {
  // After an Abort these went with their parent; closing them again only fails.
  for (HINTERNET* h : {&impl_->Request, &impl_->Connection}) {
    if (*h) InternetCloseHandle(*h);
    *h = nullptr;
  }
  CloseHandleOnce(impl_->Internet);
}

void HttpSession::Abort() {
  impl_->Aborted.store(true);
  CloseHandleOnce(impl_->Internet);
}

void HttpForceOnline() {
  HINTERNET internet = InternetOpenA("", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!internet) return;
  DWORD state = 0;
  DWORD size = sizeof state;
  InternetQueryOptionA(internet, INTERNET_OPTION_CONNECTED_STATE, &state, &size);
  if (!(state & INTERNET_STATE_CONNECTED)) {
    INTERNET_CONNECTED_INFO info = {INTERNET_STATE_CONNECTED, 0};
    InternetSetOptionA(internet, INTERNET_OPTION_CONNECTED_STATE, &info, sizeof info);
  }
  InternetCloseHandle(internet);
}

}  // namespace vek::platform
