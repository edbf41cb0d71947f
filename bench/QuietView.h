// A view that shows nothing, for benchmarks that drive the main form
// without a window or a terminal.
#pragma once
#include <string>

#include "shell/VekView.h"

namespace vek::bench {

class TQuietView : public IVekView {
 public:
  void ComponentChanged(const TComponent&) override {}
  void LogLineAdded(const std::string&) override {}
  void LogLineAppended(const std::string&) override {}
  void SetApplicationTitle(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetTrayImage(int) override {}
  void ProcessMessages() override {}
  void ArmTimer(unsigned) override {}
  void StopTimer() override {}
  void OpenDocument(const std::string&) override {}
  void PlaySound(const std::string&, bool) override {}
  void ShowMessage(const std::string&) override {}
  void Close() override {}
};

}  // namespace vek::bench
