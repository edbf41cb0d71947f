// The download worker. It sleeps on a condition variable until Start hands it
// a request, downloads it and wakes whoever waits in WaitIdle. One HTTP
// session serves request after request, so each host's connection (and its
// TLS session) lasts through a whole run instead of one board; an abort ends
// its own download and that download's connection, nothing more. Abort
// reaches the running session under a small lock, so it is safe at any
// moment, also while a session is being made or torn down.
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
  std::unique_ptr<platform::THttpSession> Kept;  // worker only: open for the next request
  std::string KeptAgent, KeptProxy;             // what Kept was opened with
  std::string Url, Agent, Proxy;
  platform::THttpValidators Conditions;
  std::string Response;
  int Status = 0;
  platform::THttpValidators Validators;
  std::string TlsFailure;
  std::thread Worker;

  void Mark() { LastActivity.store(platform::TickCount()); }
  void Run();
  bool KeepOrOpenSession();
  void Download();
};

void THttpGet::Impl::Run() {
  std::unique_lock<std::mutex> lock(Mutex);
  for (;;) {
    Wake.wait(lock, [this] { return Terminate || !Idle.load(); });
    if (Terminate) {
      Kept.reset();  // its connections are closed by the thread that used them
      return;
    }
    lock.unlock();
    Download();
    lock.lock();
    Idle.store(true);
    Done.notify_all();
  }
}

// The kept session when it was opened with this request's agent and proxy,
// else a new one; false when the HTTP library cannot be opened.
bool THttpGet::Impl::KeepOrOpenSession() {
  if (Kept && KeptAgent == Agent && KeptProxy == Proxy) return true;
  Kept = std::make_unique<platform::THttpSession>();
  KeptAgent = Agent;
  KeptProxy = Proxy;
  {
    std::lock_guard<std::mutex> lock(Mutex);
    if (Aborted) return false;
    Session = Kept.get();
  }
  return Kept->Open(Agent, Proxy);
}

void THttpGet::Impl::Download() {
  Mark();
  std::string().swap(Response);
  Response.reserve(InitialCapacity);
  TlsFailure.clear();
  Status = 0;
  Validators = {};
  const bool opened = KeepOrOpenSession();
  bool ok = opened;
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Session = Kept.get();
    // An abort of this request stands; one of an earlier request is spent.
    if (Aborted) ok = false;
    else Kept->Rearm();
  }
  Mark();
  ok = ok && Kept->Get(Url, [this](std::string_view chunk) {
    Response.append(chunk);
    Mark();
    return true;
  }, Conditions);
  Mark();
  bool aborted;
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Session = nullptr;
    aborted = Aborted;
  }
  if (aborted || !ok) {
    std::string().swap(Response);
    TlsFailure = Kept->TlsFailure();
    // A session that could not be opened has nothing to offer: the next
    // request opens afresh. An aborted one keeps its other connections.
    if (!opened) Kept.reset();
    return;
  }
  Status = Kept->Status();
  Validators = Kept->Validators();
  // "x-gzip" counts as well: any value naming gzip.
  if (Kept->ContentEncoding().find("gzip") != std::string::npos) {
    std::string decoded;
    decoded.reserve(InitialCapacity);
    if (!GunzipStream(Response, decoded)) std::string().swap(decoded);
    Response.swap(decoded);
  }
  Mark();
}

THttpGet::THttpGet() : Impl_(std::make_unique<Impl>()) {
  Impl_->Mark();
  Impl_->Worker = std::thread([this] { Impl_->Run(); });
}

THttpGet::~THttpGet() {
  {
    std::lock_guard<std::mutex> lock(Impl_->Mutex);
    Impl_->Terminate = true;
    Impl_->Aborted = true;
    if (Impl_->Session) Impl_->Session->Abort();
  }
  Impl_->Wake.notify_all();
  if (Impl_->Worker.joinable()) Impl_->Worker.join();
}

void THttpGet::Start(const std::string& url, const std::string& agent, const std::string& proxy,
                     const platform::THttpValidators& conditions) {
  {
    std::lock_guard<std::mutex> lock(Impl_->Mutex);
    Impl_->Url = url;
    Impl_->Conditions = conditions;
    Impl_->Agent = agent;
    Impl_->Proxy = proxy;
    Impl_->Aborted = false;
    // The waiting side measures inactivity from here until the worker's first step.
    Impl_->Mark();
    Impl_->Idle.store(false);
  }
  Impl_->Wake.notify_one();
}

bool THttpGet::Idle() const { return Impl_->Idle.load(); }

uint32_t THttpGet::LastActivity() const { return Impl_->LastActivity.load(); }

void THttpGet::Abort() {
  std::lock_guard<std::mutex> lock(Impl_->Mutex);
  if (Impl_->Idle.load()) return;
  Impl_->Aborted = true;
  if (Impl_->Session) Impl_->Session->Abort();
}

const std::string& THttpGet::ResponseStream() const { return Impl_->Response; }

const std::string& THttpGet::TlsFailure() const { return Impl_->TlsFailure; }

int THttpGet::Status() const { return Impl_->Status; }

const platform::THttpValidators& THttpGet::Validators() const { return Impl_->Validators; }

bool THttpGet::WaitIdle(uint32_t milliseconds) const {
  std::unique_lock<std::mutex> lock(Impl_->Mutex);
  return Impl_->Done.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return Impl_->Idle.load(); });
}

void ForceOnline() { platform::HttpForceOnline(); }

}  // namespace vek
