// The HTTP session on libcurl. The transfer runs on a multi handle so that an
// abort from the other thread wakes the wait at once instead of at the next
// progress tick. One easy handle serves every Get of the session, and the
// multi handle keeps the connections between them: a host's connection and
// its TLS session last as long as the session. A kept connection that the
// server has closed meanwhile is noticed by libcurl, which sends the request
// once more on a new connection. An abort ends its own transfer and closes
// that transfer's connection only.
#include "platform/Http.h"

#include <curl/curl.h>
#include <strings.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/Sjis.h"

namespace vek::platform {
namespace {

// Idle connections kept open, at most (the least recently used goes first).
constexpr long KeptConnections = 32;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TMultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct TEasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct TListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using TMultiHandle = std::unique_ptr<CURLM, TMultiCleanup>;
using TEasyHandle = std::unique_ptr<CURL, TEasyCleanup>;
using THeaderList = std::unique_ptr<curl_slist, TListCleanup>;

// One option of an easy handle; false when libcurl refuses it.
template <typename T>
bool SetOption(CURL* easy, CURLoption option, T value) {
  return curl_easy_setopt(easy, option, value) == CURLE_OK;
}

// The easy handle's place in the multi handle for the length of one transfer.
class TTransfer {
 public:
  TTransfer(CURLM* multi, CURL* easy) : Multi(multi), Easy(easy) {
    Added = curl_multi_add_handle(multi, easy) == CURLM_OK;
  }
  ~TTransfer() {
    if (Added) curl_multi_remove_handle(Multi, Easy);
  }
  TTransfer(const TTransfer&) = delete;
  TTransfer& operator=(const TTransfer&) = delete;
  bool Added = false;

 private:
  CURLM* Multi;
  CURL* Easy;
};

// The failures of a secure connection: the server's certificate refused by
// the system's trust store, or no TLS session at all.
bool IsTlsFailure(CURLcode result) {
  switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return true;
    default:
      return false;
  }
}

// The lines of a header block, each appended to the list as written
// (libcurl sends custom headers so); false when one cannot be added.
bool AppendHeaderLines(THeaderList& headers, std::string_view rest) {
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    const std::string line(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    if (line.empty()) continue;
    curl_slist* head = curl_slist_append(headers.get(), line.c_str());
    if (!head) return false;
    if (!headers) headers.reset(head);
  }
  return true;
}

}  // namespace

struct THttpSession::Impl {
  // Declared so that the easy handle goes first, then its headers, then the multi handle.
  TMultiHandle Multi;
  THeaderList Headers;
  TEasyHandle Easy;
  std::string ExtraHeaders;  // the fixed block and this request's conditions
  std::atomic<bool> Aborted{false};
  const ChunkHandler* OnChunk = nullptr;
  size_t Received = 0;
  bool Refused = false;  // the handler or the cap stopped the body
  std::string* Encoding = nullptr;
  THttpValidators* Validators = nullptr;
  char Error[CURL_ERROR_SIZE] = {};  // libcurl's detailed text of the last failure

  static size_t Write(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Impl*>(user);
    size_t n = size * count;
    if (self->Aborted.load()) return 0;
    self->Received += n;
    if (self->Received > HttpMaxBodySize || !(*self->OnChunk)(std::string_view(data, n))) {
      self->Refused = true;
      return 0;
    }
    return n;
  }

  // Keeps the Content-Encoding of the last response; a redirect or a proxy
  // answer starts a new header block with its status line.
  static size_t Header(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<Impl*>(user);
    std::string_view line(data, size * count);
    auto value = [line](std::string_view name, std::string& into) {
      if (line.size() <= name.size() || strncasecmp(line.data(), name.data(), name.size()) != 0) return;
      into = std::string(TrimBlanks(line.substr(name.size())));
    };
    if (line.rfind("HTTP/", 0) == 0) {
      self->Encoding->clear();
      *self->Validators = THttpValidators();
    }
    value("Content-Encoding:", *self->Encoding);
    value("Last-Modified:", self->Validators->LastModified);
    value("ETag:", self->Validators->ETag);
    return size * count;
  }

  static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Impl*>(user)->Aborted.load() ? 1 : 0;
  }

  bool SetOptions(CURL* easy, const std::string& agent, const std::string& proxy);
  bool SetRequestHeaders(const THttpValidators& conditions);
};

// The fixed header block, and the conditions when there are any; the list is
// only made anew when it changes.
bool THttpSession::Impl::SetRequestHeaders(const THttpValidators& conditions) {
  std::string block(HttpExtraHeaders.substr(0, HttpExtraHeaders.size() - 2));
  block += ConditionalHeaderLines(conditions);
  if (Headers && block == ExtraHeaders) return true;
  THeaderList headers;
  if (!AppendHeaderLines(headers, block) || !SetOption(Easy.get(), CURLOPT_HTTPHEADER, headers.get())) return false;
  Headers = std::move(headers);
  ExtraHeaders = std::move(block);
  return true;
}

// Every option is needed for the request to be the one intended; one that
// libcurl refuses fails the session rather than sending something else.
bool THttpSession::Impl::SetOptions(CURL* easy, const std::string& agent, const std::string& proxy) {
  // An empty proxy text means a direct connection, whatever the environment
  // says; an empty bypass list keeps NO_PROXY/no_proxy from sending a request
  // past the configured proxy.
  return SetOption(easy, CURLOPT_USERAGENT, agent.c_str()) && SetOption(easy, CURLOPT_PROXY, proxy.c_str()) &&
         SetOption(easy, CURLOPT_NOPROXY, "") &&
         SetOption(easy, CURLOPT_FOLLOWLOCATION, 1L) &&
         SetOption(easy, CURLOPT_MAXREDIRS, static_cast<long>(HttpMaxRedirects)) && SetOption(easy, CURLOPT_PROTOCOLS_STR, "http,https") &&
         SetOption(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") &&
         SetOption(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(HttpTimeoutMs)) &&
         // The receive time-out: less than one byte a second for five seconds.
         SetOption(easy, CURLOPT_LOW_SPEED_LIMIT, 1L) &&
         SetOption(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(HttpTimeoutMs / 1000)) &&
         SetOption(easy, CURLOPT_NOSIGNAL, 1L) &&
         SetOption(easy, CURLOPT_WRITEFUNCTION, &Impl::Write) && SetOption(easy, CURLOPT_WRITEDATA, this) &&
         SetOption(easy, CURLOPT_HEADERFUNCTION, &Impl::Header) && SetOption(easy, CURLOPT_HEADERDATA, this) &&
         SetOption(easy, CURLOPT_NOPROGRESS, 0L) && SetOption(easy, CURLOPT_XFERINFOFUNCTION, &Impl::Progress) &&
         SetOption(easy, CURLOPT_XFERINFODATA, this) && SetOption(easy, CURLOPT_ERRORBUFFER, Error);
}

THttpSession::THttpSession() : Impl_(std::make_unique<Impl>()) {
  GlobalInit();
  // Made here and kept to the end, so that Abort can always wake it.
  Impl_->Multi.reset(curl_multi_init());
  // libcurl keeps four idle connections for a single easy handle; a run
  // visits more hosts than that, boards of several hosts in turn.
  if (Impl_->Multi) curl_multi_setopt(Impl_->Multi.get(), CURLMOPT_MAXCONNECTS, KeptConnections);
}

THttpSession::~THttpSession() = default;

bool THttpSession::Open(const std::string& agent, const std::string& proxy) {
  Close();
  if (!Impl_->Multi) return false;
  TEasyHandle easy(curl_easy_init());
  if (!easy || !Impl_->SetOptions(easy.get(), agent, proxy)) return false;
  Impl_->Easy = std::move(easy);
  return true;
}

bool THttpSession::Get(const std::string& url, const ChunkHandler& onChunk, const THttpValidators& conditions) {
  ContentEncoding_.clear();
  TlsFailure_.clear();
  Status_ = 0;
  Validators_ = THttpValidators();
  Impl_->Error[0] = '\0';
  CURL* easy = Impl_->Easy.get();
  CURLM* multi = Impl_->Multi.get();
  if (!easy || Impl_->Aborted.load()) return false;
  Impl_->OnChunk = &onChunk;
  Impl_->Received = 0;
  Impl_->Refused = false;
  Impl_->Encoding = &ContentEncoding_;
  Impl_->Validators = &Validators_;
  if (!SetOption(easy, CURLOPT_URL, url.c_str()) || !SetOption(easy, CURLOPT_FORBID_REUSE, 0L) ||
      !Impl_->SetRequestHeaders(conditions))
    return false;
  TTransfer transfer(multi, easy);
  if (!transfer.Added) return false;

  CURLcode result = CURLE_FAILED_INIT;
  int running = 1;
  while (running) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) break;
    if (Impl_->Aborted.load()) break;
    if (running && curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
  }
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi, &left))
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) result = msg->data.result;
  Impl_->OnChunk = nullptr;
  // An aborted transfer's connection goes with it (the transfer leaves the
  // multi handle when this function returns); every other one stays.
  if (Impl_->Aborted.load()) SetOption(easy, CURLOPT_FORBID_REUSE, 1L);
  if (IsTlsFailure(result)) TlsFailure_ = Impl_->Error[0] ? Impl_->Error : curl_easy_strerror(result);
  long status = 0;
  if (result == CURLE_OK && curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
    Status_ = static_cast<int>(status);
  return result == CURLE_OK && !Impl_->Aborted.load() && !Impl_->Refused;
}

void THttpSession::Close() {
  Impl_->Easy.reset();
  Impl_->Headers.reset();
  Impl_->ExtraHeaders.clear();
}

void THttpSession::Rearm() { Impl_->Aborted.store(false); }

void THttpSession::Abort() {
  Impl_->Aborted.store(true);
  if (Impl_->Multi) curl_multi_wakeup(Impl_->Multi.get());
}

// libcurl has no offline mode: nothing to switch.
void HttpForceOnline() {}

}  // namespace vek::platform
