// The one exception the core raises for file trouble: a file that cannot be
// opened, created, read or written. It carries the file name and the system's
// reason, and ends the current command.
#pragma once
#include <stdexcept>
#include <string>

#include "platform/UserPaths.h"

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

// An error's text as the user reads it: a file error's file named the way
// the system writes paths.
inline std::string DisplayText(const std::exception& e) {
  std::string text = e.what();
  if (const auto* fileError = dynamic_cast<const FileError*>(&e)) {
    const size_t at = text.find(fileError->FileName);
    if (at != std::string::npos)
      text.replace(at, fileError->FileName.size(), platform::DisplayPath(fileError->FileName));
  }
  return text;
}

}  // namespace vek
