// EUC-JP to JIS to Shift_JIS, and JIS input straight to Shift_JIS.
#include "FuzzInput.h"
#include "support/Charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  vek::JisToSjis(vek::EucToJis(text));
  vek::JisToSjis(text);
  return 0;
}
