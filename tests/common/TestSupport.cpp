#include "TestSupport.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace vek::test {
namespace {

constexpr char Separator = fs::path::preferred_separator;

std::string Native(std::string_view path) {
  std::string s(path);
  for (char& c : s)
    if (c == '\\' || c == '/') c = Separator;
  return s;
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  // Seeded without <chrono>: its C++20 unit suffix "\u00b5s" has no code
  // page 932 form, so the header does not compile with this program's
  // execution character set.
  std::random_device seed;
  std::mt19937 rng(seed());
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("vek-test-" + std::to_string(rng() % 1000000) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      Path_ = p.string() + Separator;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files must not keep a directory from going.
  for (auto it = fs::recursive_directory_iterator(Path_, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  fs::remove_all(Path_, ec);
}

std::string TempDir::operator/(std::string_view relative) const { return Path_ + Native(relative); }

void WriteFile(const std::string& path, std::string_view bytes) {
  fs::path p(Native(path));
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(fs::path(Native(path)), std::ios::binary);
  if (!in) return {};
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::path(Native(path)), ec);
}

std::string SourceDir() { return VEK_SOURCE_DIR; }
std::string BinaryDir() { return VEK_BINARY_DIR; }
std::string RealFixture(const std::string& name) {
  return ReadFile(std::string(VEK_SHARED_DIR) + "/fixtures/real/" + name);
}

}  // namespace vek::test
