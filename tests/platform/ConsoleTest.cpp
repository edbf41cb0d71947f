// Terminal output redirected to a file: UTF-8 on POSIX, the code page 932
// bytes themselves on Windows (a console would get UTF-16 there).
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif
#include <cstdio>

#include "TestSupport.h"
#include "platform/Console.h"

namespace vek::platform {
namespace {

// Runs write with standard output going to path.
template <typename F>
void WithStdoutIn(const std::string& path, F write) {
  std::fflush(stdout);
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, file);
  write();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(file);
#else
  int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(file, 0);
  int saved = ::dup(STDOUT_FILENO);
  ::dup2(file, STDOUT_FILENO);
  write();
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(file);
#endif
}

TEST(Console, StdoutGetsTheTerminalEncoding) {
  test::TempDir dir;
  std::string path = dir / "out.txt";
  WithStdoutIn(path, [] {
    WriteStdout("VEK [1/7] 表示～\n");
    WriteStdout("done\n");
  });
#ifdef _WIN32
  EXPECT_EQ(test::ReadFile(path), "VEK [1/7] 表示～\ndone\n");
#else
  EXPECT_EQ(test::ReadFile(path), std::string(reinterpret_cast<const char*>(u8"VEK [1/7] 表示～\ndone\n")));
#endif
}

}  // namespace
}  // namespace vek::platform
