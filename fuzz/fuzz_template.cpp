// The new-thread report's templates as a user may type them (BoardExp with
// its two arguments, ThreadExp with its four).
#include "FuzzInput.h"
#include "reports/NewReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parts = vekfuzz::Parts(data, size, 3);
  std::string result;
  vek::FormatTemplate(parts[0], {parts[1], parts[2]}, result);
  vek::FormatTemplate(parts[0], {parts[1], parts[2], "http://srv/test/read.cgi/news/1234/", "12"}, result);
  vek::FormatTemplate(parts[0], {}, result);
  return 0;
}
