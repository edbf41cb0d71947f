// The new-thread report's templates as a user may type them (BoardExp with
// its two arguments, ThreadExp with its four). A refused template leaves the
// result as it was; an accepted one without arguments needs none.
#include <cstdlib>

#include "FuzzInput.h"
#include "reports/NewReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parts = vekfuzz::Parts(data, size, 3);
  std::string result = "before";
  if (!vek::FormatTemplate(parts[0], {parts[1], parts[2]}, result) && result != "before") std::abort();
  result = "before";
  bool four = vek::FormatTemplate(parts[0], {parts[1], parts[2], "http://srv/test/read.cgi/news/1234/", "12"}, result);
  if (!four && result != "before") std::abort();
  result = "before";
  bool none = vek::FormatTemplate(parts[0], {}, result);
  if (!none && result != "before") std::abort();
  // What needs no argument works with any number of them.
  if (none && !four) std::abort();
  return 0;
}
