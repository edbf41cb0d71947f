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
  HINTERNET Request = nullptr;  // worker only
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
  // The option above is honoured for FTP data only by some WinInet versions;
  // this one bounds every HTTP receive, so a silent server really ends in 5 s.
  SetDword(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, HttpTimeoutMs);
  return true;
}

bool HttpSession::Get(const std::string& url, const ChunkHandler& onChunk) {
  ContentEncoding_.clear();
  HINTERNET internet = impl_->Internet.load();
  if (!internet || impl_->Aborted.load()) return false;
  // Today's servers send http requests on to https: that redirect is followed.
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  impl_->Request = InternetOpenUrlA(internet, url.c_str(), HttpExtraHeaders.data(),
                                    static_cast<DWORD>(HttpExtraHeaders.size()), flags, 0);
  if (!impl_->Request) return false;

  char buffer[HttpChunkSize];
  size_t received = 0;
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(impl_->Request, buffer, sizeof buffer, &read)) return false;
    if (read == 0) break;
    received += read;
    if (received > HttpMaxBodySize) return false;
    if (!onChunk(std::string_view(buffer, read))) return false;
    if (impl_->Aborted.load()) return false;
  }

  char value[HttpChunkSize] = {};
  DWORD length = sizeof value - 1;
  DWORD index = 0;
  if (HttpQueryInfoA(impl_->Request, HTTP_QUERY_CONTENT_ENCODING, value, &length, &index))
    ContentEncoding_ = std::string(value);  // up to the first NUL
  return !impl_->Aborted.load();
}

void HttpSession::Close() {
  if (impl_->Request) {
    InternetCloseHandle(impl_->Request);
    impl_->Request = nullptr;
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
