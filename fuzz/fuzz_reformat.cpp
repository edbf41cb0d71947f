// A downloaded board list brought into the line format: the old host's
// three-field lines on their own, then the whole conversion with the first
// byte choosing the rental service's EUC-JP and its old host, and the list
// the fetch stores.
#include <cstdlib>

#include "FuzzInput.h"
#include "fetch/SubjectFetch.h"
#include "support/BuffStr.h"
#include "support/StringList.h"

namespace {

// Every line the old host's form yields is a ".dat<>" line.
void CheckReformatted(const std::string& text) {
  vek::TStringReader lines(text);
  while (!lines.Eof())
    if (lines.ReadLine().find("1.dat<>") == std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
  CheckReformatted(vek::ReformatOldHost(body));
  const bool rental = data[0] & 1, oldHost = data[0] & 2;
  std::string text = vek::SubjectBodyText(body, rental, oldHost);
  // The text the cache gets never holds a NUL byte, whatever the conversion made.
  if (text.find('\0') != std::string::npos) std::abort();
  if (oldHost) CheckReformatted(text);
  vek::TStringList lines;
  lines.SetText(text);
  lines.Sort();
  return 0;
}
