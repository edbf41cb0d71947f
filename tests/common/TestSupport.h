// Helpers shared by the test programs: scratch directories and files in the
// core's path form, and access to the fixture folders.
#pragma once
#include <string>
#include <string_view>

namespace vek::test {

// A fresh directory, removed with everything in it when the object goes.
// Path() ends in the platform's separator, as the core's directories do.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return Path_; }
  // Path() + relative, with "\" turned into this platform's separator.
  std::string operator/(std::string_view relative) const;

 private:
  std::string Path_;
};

// Writes bytes to a file, creating missing directories. Path in core form.
void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);  // "" when missing
bool Exists(const std::string& path);

// A file of ../shared/fixtures/real (read whole).
std::string RealFixture(const std::string& name);
std::string SourceDir();   // the repository
std::string BinaryDir();   // the build tree

}  // namespace vek::test
