// A scenario's scratch world: a host directory with thread list files and
// thread index files, a program directory with its settings file, and the
// loopback board server; plus running the command and checking every file
// against the expected tree of one step.
#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "E2eSupport.h"
#include "TestSupport.h"

namespace vek::e2e {

// One thread index record as the host browser keeps it (21 fields, CR LF).
struct TIndexRecord {
  std::string Flags = "0";
  std::string Title;
  std::string Host;
  std::string Board;
  std::string Key;
  std::string ServerCount;
  std::string LocalCount;
  std::string NewMark = "-1";
  std::string Text() const;
};

class TScenario : public ::testing::Test {
 protected:
  void SetUp() override;

  // Host part of thread paths on the server's address: "127.0.0.1%3A{port}".
  std::string H1() const;
  std::string H1Url() const;   // "127.0.0.1:{port}"
  // A host on the loopback network where nothing listens.
  std::string DeadHost() const;
  std::string DeadHostUrl() const;

  std::string HostDir() const { return Root.Path() + "host/"; }
  std::string ProgDir() const { return Root.Path() + "prog/"; }
  // threadPath uses "\" as in thread list files.
  void WriteIndex(const std::string& threadPath, const TIndexRecord& record, const std::string& extraLines = "");
  void WriteHostFile(const std::string& name, const std::string& bytes);
  void WriteProgFile(const std::string& name, const std::string& bytes);
  void WriteSettings(const std::string& extraVekKeys = "");

  // vek {command} --dir {program directory} [more]
  TProcessResult Vek(const std::string& command, const std::vector<std::string>& more = {});
  // As if the user had waited: the settings file's stamp moves back by 200 s.
  void WaitPastGuard();

  // Compares the whole scratch tree with expected/{Name}/{step} (or stores it
  // with VEK_E2E_UPDATE=1).
  void ExpectStep(const std::string& step);

  test::TempDir Root;
  TBoardServer Server;
  TProgram Program;
  TMask Mask;
  std::string Name;   // the expected-files folder of this scenario
};

}  // namespace vek::e2e
