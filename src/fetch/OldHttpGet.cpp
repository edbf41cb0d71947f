// The download worker. It sleeps on a condition variable until Start hands it
// a request, downloads it through a fresh HTTP session and wakes whoever waits
// in WaitIdle. Abort reaches the running session under a small lock, so it is
// safe at any moment, also while a session is being made or torn down.
#include "fetch/OldHttpGet.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "fetch/Gunzipd.h"
#include "platform/Clock.h"
#include "platform/Http.h"

namespace vek {

namespace {
constexpr size_t InitialCapacity = 32768;
}

struct THttpGet::Impl {
  mutable std::mutex Mutex;
  std::condition_variable Wake;           // a request or the end for the worker
  mutable std::condition_variable Done;   // the worker went idle
  std::atomic<bool> Idle{true};           // the hand-over flag
  std::atomic<uint32_t> LastActivity{0};
  bool Terminate = false;                 // under Mutex
  bool Aborted = false;                   // under Mutex: Abort came during this request
  platform::THttpSession* Session = nullptr;  // under Mutex: the running download's session
  std::string Url, Agent, Proxy;
  std::string Response;
  std::string TlsFailure;
  std::thread Worker;

  void Mark() { LastActivity.store(platform::TickCount()); }
  void Run();
  void Download();
};

void THttpGet::Impl::Run() {
  std::unique_lock<std::mutex> lock(Mutex);
  for (;;) {
    Wake.wait(lock, [this] { return Terminate || !Idle.load(); });
    if (Terminate) return;
    lock.unlock();
    Download();
    lock.lock();
    Idle.store(true);
    Done.notify_all();
  }
}

void THttpGet::Impl::Download() {
  Mark();
  std::string().swap(Response);
  Response.reserve(InitialCapacity);
  TlsFailure.clear();
  auto session = std::make_unique<platform::THttpSession>();
  {
    std::lock_guard<std::mutex> lock(Mutex);
    if (Aborted) return;
    Session = session.get();
  }
  bool ok = session->Open(Agent, Proxy);
  Mark();
  ok = ok && session->Get(Url, [this](std::string_view chunk) {
    Response.append(chunk);
    Mark();
    return true;
  });
  Mark();
  std::string encoding = session->ContentEncoding();
  session->Close();
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Session = nullptr;
    if (Aborted) ok = false;
  }
  if (!ok) {
    std::string().swap(Response);
    TlsFailure = session->TlsFailure();
    return;
  }
  // "x-gzip" counts as well: any value naming gzip.
  if (encoding.find("gzip") != std::string::npos) {
    std::string decoded;
    decoded.reserve(InitialCapacity);
    if (!GunzipStream(Response, decoded)) std::string().swap(decoded);
    Response.swap(decoded);
  }
  Mark();
}

THttpGet::THttpGet() : impl_(std::make_unique<Impl>()) {
  impl_->Mark();
  impl_->Worker = std::thread([this] { impl_->Run(); });
}

THttpGet::~THttpGet() {
  {
    std::lock_guard<std::mutex> lock(impl_->Mutex);
    impl_->Terminate = true;
    impl_->Aborted = true;
    if (impl_->Session) impl_->Session->Abort();
  }
  impl_->Wake.notify_all();
  if (impl_->Worker.joinable()) impl_->Worker.join();
}

void THttpGet::Start(const std::string& url, const std::string& agent, const std::string& proxy) {
  {
    std::lock_guard<std::mutex> lock(impl_->Mutex);
    impl_->Url = url;
    impl_->Agent = agent;
    impl_->Proxy = proxy;
    impl_->Aborted = false;
    // The waiting side measures inactivity from here until the worker's first step.
    impl_->Mark();
    impl_->Idle.store(false);
  }
  impl_->Wake.notify_one();
}

bool THttpGet::Idle() const { return impl_->Idle.load(); }

uint32_t THttpGet::LastActivity() const { return impl_->LastActivity.load(); }

void THttpGet::Abort() {
  std::lock_guard<std::mutex> lock(impl_->Mutex);
  if (impl_->Idle.load()) return;
  impl_->Aborted = true;
  if (impl_->Session) impl_->Session->Abort();
}

const std::string& THttpGet::ResponseStream() const { return impl_->Response; }

const std::string& THttpGet::TlsFailure() const { return impl_->TlsFailure; }

bool THttpGet::WaitIdle(uint32_t milliseconds) const {
  std::unique_lock<std::mutex> lock(impl_->Mutex);
  return impl_->Done.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return impl_->Idle.load(); });
}

void ForceOnline() { platform::HttpForceOnline(); }

}  // namespace vek
