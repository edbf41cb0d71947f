// Shared pieces of the fetch tests: one board server for a whole test
// program, gzip encoding of test bodies and small text helpers.
#pragma once
#include <gtest/gtest.h>

#include <thread>  // std::chrono without <chrono>, whose µ text has no code page 932 form
#include <string>
#include <vector>

#include "BoardServerProcess.h"

namespace vek::test {

// How long an aborted download may take to end. Wine's WinInet does not let
// a closed handle interrupt a call blocked on it; such a call ends at the
// 5-second receive time-out instead.
#ifdef _WIN32
constexpr double AbortSeconds = 7.0;
#else
constexpr double AbortSeconds = 3.0;
#endif

// The server every fetch test uses: hosts "a" and "b" and a forward proxy.
// Started on first use, stopped when the program ends.
BoardServerProcess& SharedBoardServer();

// Fails the current test (and returns false) when the server is not up.
bool BoardServerUp();

std::string Gzip(const std::string& data);
// The lines of a text (LF, CR LF or CR ends), without their ends.
std::vector<std::string> Lines(const std::string& text);
// A name no other test uses, for boards and files.
std::string UniqueName(const std::string& stem);

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace vek::test
