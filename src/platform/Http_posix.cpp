// The HTTP session on libcurl. The transfer runs on a multi handle so that an
// abort from the other thread wakes the wait at once instead of at the next
// progress tick.
#include "platform/Http.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <strings.h>

namespace vek::platform {
namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

struct HttpSession::Impl {
  CURLM* Multi = nullptr;
  CURL* Easy = nullptr;
  curl_slist* Headers = nullptr;
  std::atomic<bool> Aborted{false};
  const ChunkHandler* OnChunk = nullptr;
  size_t Received = 0;
  bool Refused = false;  // the handler or the cap stopped the body
  std::string* Encoding = nullptr;

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
    if (line.rfind("HTTP/", 0) == 0) {
      self->Encoding->clear();
    } else if (line.size() > 17 && strncasecmp(line.data(), "Content-Encoding:", 17) == 0) {
      *self->Encoding = std::string(Trim(line.substr(17)));
    }
    return size * count;
  }

  static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Impl*>(user)->Aborted.load() ? 1 : 0;
  }

  void Release() {
    if (Easy) {
      if (Multi) curl_multi_remove_handle(Multi, Easy);
      curl_easy_cleanup(Easy);
      Easy = nullptr;
    }
    if (Headers) {
      curl_slist_free_all(Headers);
      Headers = nullptr;
    }
  }
};

HttpSession::HttpSession() : impl_(std::make_unique<Impl>()) {
  GlobalInit();
  // Made here and kept to the end, so that Abort can always wake it.
  impl_->Multi = curl_multi_init();
}

HttpSession::~HttpSession() {
  impl_->Release();
  if (impl_->Multi) curl_multi_cleanup(impl_->Multi);
}

bool HttpSession::Open(const std::string& agent, const std::string& proxy) {
  Close();
  if (impl_->Aborted.load() || !impl_->Multi) return false;
  CURL* easy = curl_easy_init();
  if (!easy) return false;
  impl_->Easy = easy;
  // Two lines of the fixed block; libcurl sends custom headers as written.
  impl_->Headers = curl_slist_append(nullptr, "Accept:*/*");
  impl_->Headers = curl_slist_append(impl_->Headers, "Accept-Encoding: gzip");
  curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
  // An empty proxy text means a direct connection, whatever the environment
  // says; an empty bypass list keeps NO_PROXY/no_proxy from sending a request
  // past the configured proxy.
  curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, impl_->Headers);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(HttpMaxRedirects));
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(HttpTimeoutMs));
  // The receive time-out: less than one byte a second for five seconds.
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(HttpTimeoutMs / 1000));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::Write);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, impl_.get());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::Header);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, impl_.get());
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::Progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, impl_.get());
  return true;
}

bool HttpSession::Get(const std::string& url, const ChunkHandler& onChunk) {
  ContentEncoding_.clear();
  if (!impl_->Easy || impl_->Aborted.load()) return false;
  impl_->OnChunk = &onChunk;
  impl_->Received = 0;
  impl_->Refused = false;
  impl_->Encoding = &ContentEncoding_;
  curl_easy_setopt(impl_->Easy, CURLOPT_URL, url.c_str());
  if (curl_multi_add_handle(impl_->Multi, impl_->Easy) != CURLM_OK) return false;

  CURLcode result = CURLE_FAILED_INIT;
  int running = 1;
  while (running) {
    if (curl_multi_perform(impl_->Multi, &running) != CURLM_OK) break;
    if (impl_->Aborted.load()) break;
    if (running && curl_multi_poll(impl_->Multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
  }
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(impl_->Multi, &left))
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == impl_->Easy) result = msg->data.result;
  curl_multi_remove_handle(impl_->Multi, impl_->Easy);
  impl_->OnChunk = nullptr;
  return result == CURLE_OK && !impl_->Aborted.load() && !impl_->Refused;
}

void HttpSession::Close() { impl_->Release(); }

void HttpSession::Abort() {
  impl_->Aborted.store(true);
  if (impl_->Multi) curl_multi_wakeup(impl_->Multi);
}

// libcurl has no offline mode: nothing to switch.
void HttpForceOnline() {}

}  // namespace vek::platform
