// The one exception the core raises for file trouble: a file that cannot be
// opened, created, read or written. It carries the file name and the system's
// reason, and ends the current command.
#pragma once
#include <stdexcept>
#include <string>

namespace vek {

class FileError : public std::runtime_error {
 public:
  // operation: what was attempted ("open", "create", "rename"...); fileName in
  // the core's form (code page 932); reason: the system's words.
  FileError(const std::string& operation, const std::string& fileName, const std::string& reason)
      : std::runtime_error(operation + "(" + fileName + "): " + reason), FileName(fileName), Reason(reason) {}
  std::string FileName;
  std::string Reason;
};

}  // namespace vek
