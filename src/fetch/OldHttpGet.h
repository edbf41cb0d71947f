// The download worker: one URL at a time on a thread of its own, so that the
// user-interface thread can keep its window alive while a server answers.
// Start, Idle, LastActivity, Abort and ResponseStream are the whole hand-over;
// Idle is the flag that passes a request to the worker and back.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Http.h"

namespace vek {

class THttpGet {
 public:
  THttpGet();               // the worker starts at once and idles
  ~THttpGet();              // asks the worker to stop and waits for it
  THttpGet(const THttpGet&) = delete;
  THttpGet& operator=(const THttpGet&) = delete;

  // User-interface thread, only while Idle(). With validators the request is
  // conditional on them; without, it carries no conditional header.
  void Start(const std::string& url, const std::string& agent, const std::string& proxy,
             const platform::THttpValidators& conditions = {});
  bool Idle() const;
  uint32_t LastActivity() const;
  // Safe from the user-interface thread at any moment, any number of times.
  void Abort();
  // The body of the last download (decoded when gzip-encoded); empty after a
  // failure. Read only while Idle().
  const std::string& ResponseStream() const;
  // Why the last download failed when its secure connection was refused
  // (the HTTP library's words, e.g. an untrusted or expired certificate);
  // empty for every other outcome. Read only while Idle().
  const std::string& TlsFailure() const;
  // The last download's HTTP status and the validators it came with; 0 and
  // none after a failure. Read only while Idle().
  int Status() const;
  const platform::THttpValidators& Validators() const;
  // Blocks until the worker is idle or the timeout passes (event-driven waiting).
  bool WaitIdle(uint32_t milliseconds) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> Impl_;
};

// Takes the HTTP library out of any offline mode before a run.
void ForceOnline();

}  // namespace vek
