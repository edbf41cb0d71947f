// The HTTP session on WinInet. Abort closes the running request's handles
// from the other thread, which makes a WinInet call blocked on them return
// with a failure; each handle is taken out of the session atomically, so it
// is closed exactly once. The root handle serves every Get of the session,
// each with connection and request handles of its own that go when it ends:
// WinInet keeps the connection to a host open under the root handle from one
// request to the next, and drops only the one whose request was cut off.
#include "platform/Http.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdlib>

#include "platform/Sjis.h"
#include "platform/Win32System.h"

namespace vek::platform {
namespace {

void SetDword(HINTERNET handle, DWORD option, DWORD value) {
  InternetSetOptionA(handle, option, &value, sizeof value);
}

void CloseHandleOnce(std::atomic<HINTERNET>& slot) {
  if (HINTERNET handle = slot.exchange(nullptr)) InternetCloseHandle(handle);
}

// WinInet's refusals of a secure connection, with a text of our own for a
// system that has none in wininet.dll's message table (Wine).
const char* TlsErrorName(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_INVALID_CA: return "the certificate's authority is not trusted";
    case ERROR_INTERNET_SEC_CERT_CN_INVALID: return "the certificate is for another host name";
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: return "the certificate has expired or is not yet valid";
    case ERROR_INTERNET_SEC_CERT_REVOKED: return "the certificate has been revoked";
    case ERROR_INTERNET_SEC_CERT_ERRORS: return "the certificate has errors";
    case ERROR_INTERNET_SEC_INVALID_CERT: return "the certificate is invalid";
    case ERROR_INTERNET_SEC_CERT_NO_REV: return "the certificate's revocation cannot be checked";
    case ERROR_INTERNET_SEC_CERT_REV_FAILED: return "the certificate's revocation check failed";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR: return "the secure channel failed";
    default: return nullptr;
  }
}

// "WinInet error 12045: " and the system's message for it, or our own text.
std::string TlsFailureText(DWORD error) {
  const char* name = TlsErrorName(error);
  if (!name) return {};
  std::string text = "WinInet error " + std::to_string(error) + ": ";
  wchar_t* message = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                GetModuleHandleW(L"wininet.dll"), error, 0, reinterpret_cast<wchar_t*>(&message), 0,
                                nullptr);
  std::string system = length ? win32::Narrow(std::wstring_view(message, length)) : std::string();
  if (message) LocalFree(message);
  system = std::string(TrimBlanks(system));
  return text + (system.empty() ? name : system);
}

}  // namespace

struct THttpSession::Impl {
  std::atomic<HINTERNET> Internet{nullptr};
  std::atomic<bool> Aborted{false};
  // Made and used by the worker; closed by it, or by Abort from the other thread.
  std::atomic<HINTERNET> Connection{nullptr};
  std::atomic<HINTERNET> Request{nullptr};
  DWORD SendError = 0;             // worker only: why the last request could not be sent
  std::string Conditions;          // worker only: this request's conditional header lines

  // Makes a handle the session's; false (and the handle closed) when an
  // Abort came meanwhile.
  bool Keep(std::atomic<HINTERNET>& slot, HINTERNET handle) {
    slot.store(handle);
    if (!Aborted.load()) return true;
    CloseHandleOnce(slot);
    return false;
  }
  bool Send(HINTERNET internet, const std::string& url);
  std::string RedirectTarget(const std::string& url);
  bool SendFollowingRedirects(HINTERNET internet, const std::string& url);
  bool BodyComplete(size_t received);
  bool ReadBody(const ChunkHandler& onChunk);
  void CloseRequest();
};

THttpSession::THttpSession() : Impl_(std::make_unique<Impl>()) {}

THttpSession::~THttpSession() { Close(); }

bool THttpSession::Open(const std::string& agent, const std::string& proxy) {
  Close();
  // The system's proxy configuration is never used: a fixed proxy or none.
  HINTERNET internet =
      proxy.empty() ? InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                    : InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0);
  if (!internet) return false;
  Impl_->Internet.store(internet);
  SetDword(internet, INTERNET_OPTION_CONNECT_TIMEOUT, HttpTimeoutMs);
  SetDword(internet, INTERNET_OPTION_CONNECT_RETRIES, 0);
  SetDword(internet, INTERNET_OPTION_CONNECT_BACKOFF, 0);
  SetDword(internet, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, HttpTimeoutMs);
  return true;
}

// The request is made in its three WinInet steps rather than with one
// InternetOpenUrlA: only a connection handle takes the send and receive
// time-outs along to its request in every WinInet (Wine's included), and a
// server that accepts and then stays silent must end in 5 seconds.
bool THttpSession::Impl::Send(HINTERNET internet, const std::string& url) {
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
  path += extra.substr(0, parts.dwExtraInfoLength);

  HINTERNET connection = InternetConnectA(internet, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!connection || !Keep(Connection, connection)) return false;
  for (HINTERNET h : {internet, connection}) {
    SetDword(h, INTERNET_OPTION_CONNECT_TIMEOUT, HttpTimeoutMs);
    SetDword(h, INTERNET_OPTION_SEND_TIMEOUT, HttpTimeoutMs);
    SetDword(h, INTERNET_OPTION_RECEIVE_TIMEOUT, HttpTimeoutMs);
  }
  // Always from the server, never the local cache, and nothing kept in it:
  // the program keeps its own. Conditions are our own headers, so a "not
  // modified" answer comes to us as it is. Redirects are followed by Get,
  // not by WinInet, which follows a loop for ever.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
  if (!request || !Keep(Request, request)) return false;
  SetDword(request, INTERNET_OPTION_SEND_TIMEOUT, HttpTimeoutMs);
  SetDword(request, INTERNET_OPTION_RECEIVE_TIMEOUT, HttpTimeoutMs);
  std::string headers(HttpExtraHeaders.substr(0, HttpExtraHeaders.size() - 2));
  headers += Conditions + "\r\n";
  if (HttpSendRequestA(request, headers.data(), static_cast<DWORD>(headers.size()), nullptr, 0)) return true;
  SendError = GetLastError();
  return false;
}

// The absolute URL a redirect answer sends us to; empty when the answer is
// not a redirect or names no place.
std::string THttpSession::Impl::RedirectTarget(const std::string& url) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return {};
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return {};
  std::string location(INTERNET_MAX_URL_LENGTH + 1, '\0');
  DWORD length = INTERNET_MAX_URL_LENGTH;
  if (!HttpQueryInfoA(Request, HTTP_QUERY_LOCATION, location.data(), &length, nullptr)) return {};
  location.resize(length);
  std::string combined(INTERNET_MAX_URL_LENGTH + 1, '\0');
  length = INTERNET_MAX_URL_LENGTH;
  if (!InternetCombineUrlA(url.c_str(), location.c_str(), combined.data(), &length, ICU_NO_ENCODE)) return {};
  combined.resize(length);
  return combined;
}

void THttpSession::Impl::CloseRequest() {
  CloseHandleOnce(Request);
  CloseHandleOnce(Connection);
}

// Redirects to http and https only (Send refuses other schemes), at most
// HttpMaxRedirects of them.
bool THttpSession::Impl::SendFollowingRedirects(HINTERNET internet, const std::string& url) {
  std::string current = url;
  for (unsigned redirects = 0;; ++redirects) {
    if (!Send(internet, current) || Aborted.load()) return false;
    std::string next = RedirectTarget(current);
    if (next.empty()) return true;
    if (redirects == HttpMaxRedirects) return false;
    CloseRequest();
    current = std::move(next);
  }
}

// WinInet ends a body at a closed connection without a word: fewer bytes
// than the Content-Length announced is a cut-off list, not a short one.
bool THttpSession::Impl::BodyComplete(size_t received) {
  char declared[32] = {};
  DWORD declaredLength = sizeof declared - 1;
  return !HttpQueryInfoA(Request, HTTP_QUERY_CONTENT_LENGTH, declared, &declaredLength, nullptr) ||
         std::strtoull(declared, nullptr, 10) == received;
}

// The body, chunk by chunk, to its end; false for a failure, an abort, a
// body beyond HttpMaxBodySize or one cut short.
bool THttpSession::Impl::ReadBody(const ChunkHandler& onChunk) {
  char buffer[HttpChunkSize];
  size_t received = 0;
  for (;;) {
    // Only what has arrived is asked for: a read of a whole chunk would wait
    // for all of it, and a server that trickles bytes in would hold it (and an
    // Abort with it) for as long as it liked.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(Request, &available, 0, 0)) return false;
    if (available == 0) break;
    if (Aborted.load()) return false;
    DWORD read = 0;
    if (!InternetReadFile(Request, buffer, available < sizeof buffer ? available : sizeof buffer, &read))
      return false;
    if (read == 0) break;
    received += read;
    if (received > HttpMaxBodySize) return false;
    if (!onChunk(std::string_view(buffer, read))) return false;
    if (Aborted.load()) return false;
  }

  return BodyComplete(received);
}

namespace {

// A response header's text as it came, "" when absent.
std::string HeaderText(HINTERNET request, DWORD query) {
  char value[HttpChunkSize] = {};
  DWORD length = sizeof value - 1;
  DWORD index = 0;
  if (!HttpQueryInfoA(request, query, value, &length, &index)) return {};
  return std::string(value);  // up to the first NUL
}

}  // namespace

bool THttpSession::Get(const std::string& url, const ChunkHandler& onChunk, const THttpValidators& conditions) {
  ContentEncoding_.clear();
  TlsFailure_.clear();
  Status_ = 0;
  Validators_ = THttpValidators();
  Impl_->SendError = 0;
  Impl_->Conditions = ConditionalHeaderLines(conditions);
  // The request's handles go when it ends, whichever way: its connection
  // then returns to WinInet's keeping for the next request.
  struct TRequestEnd {
    Impl& Session;
    ~TRequestEnd() { Session.CloseRequest(); }
  } requestEnd{*Impl_};
  HINTERNET internet = Impl_->Internet.load();
  if (!internet || Impl_->Aborted.load()) return false;
  if (!Impl_->SendFollowingRedirects(internet, url)) {
    TlsFailure_ = TlsFailureText(Impl_->SendError);
    return false;
  }

  if (!Impl_->ReadBody(onChunk)) return false;

  HINTERNET request = Impl_->Request.load();
  ContentEncoding_ = HeaderText(request, HTTP_QUERY_CONTENT_ENCODING);
  Validators_ = {HeaderText(request, HTTP_QUERY_LAST_MODIFIED), HeaderText(request, HTTP_QUERY_ETAG)};
  DWORD status = 0;
  DWORD size = sizeof status;
  if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    Status_ = static_cast<int>(status);
  return !Impl_->Aborted.load();
}

void THttpSession::Close() {
  Impl_->CloseRequest();
  CloseHandleOnce(Impl_->Internet);
}

void THttpSession::Rearm() { Impl_->Aborted.store(false); }

void THttpSession::Abort() {
  Impl_->Aborted.store(true);
  // The request first: its connection, cut off mid-answer, is not kept.
  Impl_->CloseRequest();
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
