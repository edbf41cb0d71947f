// The write-failure switch: parsed once, then one counter per kind.
#include "platform/WriteFaults.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/UserPaths.h"

namespace vek::platform {
namespace {

constexpr std::array<const char*, 6> KindNames = {"replace", "ini", "mkdir", "move", "touch", "stamp"};

struct TPlannedFault {
  size_t Kind = 0;
  unsigned long Ordinal = 0;  // the Nth write of the kind, from 1
  TWriteFault Fault = TWriteFault::DiskFull;
};

struct TFaultPlan {
  std::vector<TPlannedFault> Faults;
  std::string TraceFile;
  std::array<std::atomic<unsigned long>, KindNames.size()> Counts{};
};

// "replace:3", "ini:1:eio"; anything else is ignored.
bool ParseEntry(const std::string& entry, TPlannedFault& fault) {
  std::istringstream in(entry);
  std::string kind, ordinal, error;
  std::getline(in, kind, ':');
  std::getline(in, ordinal, ':');
  std::getline(in, error);
  for (size_t i = 0; i < KindNames.size(); ++i)
    if (kind == KindNames[i]) fault.Kind = i + 1;
  if (fault.Kind == 0 || ordinal.empty() || ordinal.find_first_not_of("0123456789") != std::string::npos) return false;
  fault.Kind -= 1;
  fault.Ordinal = std::stoul(ordinal);
  fault.Fault = error == "eio" ? TWriteFault::IoError : TWriteFault::DiskFull;
  return fault.Ordinal > 0;
}

TFaultPlan& Plan() {
  static TFaultPlan plan;
  static std::once_flag read;
  std::call_once(read, [] {
    std::istringstream list(EnvironmentVariable("VEK_FAIL_WRITE"));
    for (std::string entry; std::getline(list, entry, ',');) {
      TPlannedFault fault;
      if (ParseEntry(entry, fault)) plan.Faults.push_back(fault);
    }
    plan.TraceFile = EnvironmentVariable("VEK_WRITE_TRACE");
  });
  return plan;
}

void Trace(const std::string& traceFile, size_t kind, const std::string& path) {
  static std::mutex traceMutex;
  std::lock_guard lock(traceMutex);
  if (std::FILE* out = std::fopen(traceFile.c_str(), "ab")) {
    std::fprintf(out, "%s\t%s\n", KindNames[kind], path.c_str());
    std::fclose(out);
  }
}

}  // namespace

TWriteFault InjectedWriteFault(TWriteKind kind, const std::string& path) {
  TFaultPlan& plan = Plan();
  if (plan.Faults.empty() && plan.TraceFile.empty()) return TWriteFault::None;
  const size_t k = static_cast<size_t>(kind);
  const unsigned long n = ++plan.Counts[k];
  if (!plan.TraceFile.empty()) Trace(plan.TraceFile, k, path);
  for (const TPlannedFault& fault : plan.Faults)
    if (fault.Kind == k && fault.Ordinal == n) return fault.Fault;
  return TWriteFault::None;
}

}  // namespace vek::platform
