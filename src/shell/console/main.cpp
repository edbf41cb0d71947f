// The headless command: one check run, the configuration report, the
// settings one at a time, or the new-thread report reset, with the same
// settings and files as the window.
#include <filesystem>
#include <string>
#include <vector>

#include "check/RunGuard.h"
#include "check/RunSummary.h"
#include "platform/Console.h"
#include "platform/Env.h"
#include "platform/Shell.h"
#include "shell/LogBackup.h"
#include "platform/UserPaths.h"
#include "shell/Settings.h"
#include "shell/VekMainForm.h"
#include "shell/console/ConfigCommand.h"
#include "shell/console/ConsoleView.h"
#include "platform/FileError.h"
#include "support/Version.h"

namespace {

constexpr const char* HelpText =
    "usage: vek [--dir DIR] COMMAND\n"
    "\n"
    "Commands:\n"
    "  check          Run one update check: read the watched threads, download their\n"
    "                 boards' subject.txt, write the response counts into the host\n"
    "                 browser's index files and publish the two report boards. The log\n"
    "                 goes to standard output. The self-restraint rules apply: a check\n"
    "                 within three minutes of the last one is refused.\n"
    "  check --wait   The same, but when the check is refused for the self-restraint\n"
    "                 pause, wait until the pause is over and then run it.\n"
    "  check --mark-fallen  The same, and a thread that has fallen from its board gets the\n"
    "                 fallen mark in its index file (flag 16; the file keeps only its\n"
    "                 first line), so later checks leave it out. The window's menu\n"
    "                 item \"DAT 落ちをマークする\" does the same; like it, the choice holds\n"
    "                 for this start only and is never saved. Combines with --wait.\n"
    "  check --summary  The same, and after the log one line on standard error with\n"
    "                 the check's counts: threads with news, threads that fell, new\n"
    "                 threads, and boards that failed or were skipped, if any. Combines\n"
    "                 with the other two.\n"
    "  config         Print the configuration block that every check writes first.\n"
    "  config --list  Print every setting of vek.ini as section.key=value (the default\n"
    "                 where the file has none).\n"
    "  config NAME    Print one setting, for example: vek config VEK.TimeOutTime\n"
    "  config NAME VALUE  Set one setting in vek.ini; the other settings and the file's\n"
    "                 time stamp stay as they are. First of all, the host browser's\n"
    "                 folder: vek config dorvella.Directory ~/Dorvella\n"
    "  init-report    Reset the new-thread report board and take a fresh snapshot of\n"
    "                 every cached board list.\n"
    "  backup         Move the index and log files of every fallen thread (flag 16)\n"
    "                 listed in the host browser's favorite.idx from its log\n"
    "                 directory to backlog\\ in the host directory, keeping their\n"
    "                 paths. Threads no longer in the log directory are passed over;\n"
    "                 favorite.idx is not changed.\n"
    "\n"
    "Options:\n"
    "  --dir DIR      Use DIR as the program directory (vek.ini, veklog.txt, the list\n"
    "                 files and the subject cache). Without it: the folder named by\n"
    "                 the environment variable VEK_DIR; otherwise the executable's\n"
    "                 own folder, or ~/.config/vek ($XDG_CONFIG_HOME/vek) when vek is\n"
    "                 installed under /usr or its folder is not writable.\n"
    "  --help         Show this text.\n"
    "  --version      Show the version.\n"
    "\n"
    "Every command but config with a NAME ends like closing the window does: the\n"
    "settings are written back to vek.ini (keeping its time stamp) and the log is\n"
    "saved as veklog.txt.\n"
    "\n"
    "Exit status: 0 when the command completed, 1 when the check run failed, the\n"
    "backup stopped or a setting was refused (the line beginning ERROR: says why),\n"
    "2 when the check was refused, 64 for a usage error.\n";

constexpr int ExitRunFailed = 1;
constexpr int ExitRefused = 2;
constexpr int ExitUsage = 64;

void Error(const std::string& cp932Text) { vek::platform::WriteStderr("vek: " + cp932Text + "\n"); }

std::string ProgramDirectory(const std::string& typed) {
  return vek::WithTrailingBackslash(vek::platform::AbsolutePath(typed));
}

struct TOptions {
  std::string ProgramName = "vek";
  std::string Command;
  std::string Dir;  // as typed
  std::vector<std::string> Operands;  // of config
  bool Wait = false;
  bool MarkFallen = false;
  bool Summary = false;
  bool Help = false;
  bool Version = false;
};

bool IsCommand(const std::string& arg) { return arg == "check" || arg == "config" || arg == "init-report" || arg == "backup"; }

bool ParseOptions(const std::vector<std::string>& args, TOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version") {
      options.Version = true;
    } else if (arg == "--dir") {
      if (i + 1 >= args.size()) return false;
      options.Dir = args[++i];
    } else if (arg == "--wait") {
      options.Wait = true;
    } else if (arg == "--mark-fallen") {
      options.MarkFallen = true;
    } else if (arg == "--summary") {
      options.Summary = true;
    } else if (options.Command.empty() && IsCommand(arg)) {
      options.Command = arg;
    } else if (options.Command == "config" && options.Operands.size() < 2) {
      options.Operands.push_back(arg);
    } else {
      return false;
    }
  }
  const bool checkOnly = options.Wait || options.MarkFallen || options.Summary;
  const auto& operands = options.Operands;
  const bool listOk = operands.empty() || operands[0] != "--list" || operands.size() == 1;
  const bool dashOk = operands.empty() || operands[0] == "--list" || operands[0].rfind("--", 0) != 0;
  return options.Help || options.Version ||
         (!options.Command.empty() && (!checkOnly || options.Command == "check") && listOk && dashOk);
}

// Where no window system can reach the host browser, the settings that close
// and start it around a check cannot be honoured; the check goes on.
void WarnHostControlUnavailable(const vek::TVekMainForm& form) {
  if (vek::platform::ProgramControlAvailable() || (!form.AutoDorFin() && !form.AutoDorRun())) return;
  Error("AutoDorFin/AutoDorRun are on, but the host browser is a Windows program that this "
        "command cannot close or start here; the check goes on without that");
}

// A refusal for the missing host directory says how to set it, naming the
// program as it was started ("vek", or "vekc" on Windows).
void HintHostDirectory(const TOptions& options) {
  const std::string dir = options.Dir.empty() ? "" : " --dir " + options.Dir;
  Error("set the host browser's folder first: " + options.ProgramName + dir + " config dorvella.Directory FOLDER");
}

int RunCheck(vek::TVekMainForm& form, vek::TConsoleView& view, const TOptions& options) {
  using Outcome = vek::TRunOutcome;
  WarnHostControlUnavailable(form);
  form.UpdateCheckMenuClick();
  const vek::TRunResult& run = form.LastRun();
  // Only a refusal for a pause has a wait; waiting for it is what the window
  // would do.
  while (options.Wait && run.Outcome == Outcome::Refused && run.NextRunAfter != 0) {
    view.Flush();
    form.Env.Sleep(run.NextRunAfter);
    form.TimerTimer();
  }
  view.Flush();
  switch (run.Outcome) {
    case Outcome::Completed:
      // For a journal: what the check found, apart from the log on stdout.
      if (options.Summary) vek::platform::WriteStderr(vek::SummaryText(vek::SummarizeRun(run), " / ") + "\n");
      return 0;
    case Outcome::Failed:
      Error("the check run failed: " + run.Error);
      return ExitRunFailed;
    default:
      Error(run.NextRunAfter != 0 ? "the check was refused for the self-restraint pause"
                                  : "the check was refused (see the log)");
      if (form.DorPath().empty()) HintHostDirectory(options);
      return ExitRefused;
  }
}

int RunFormCommand(const TOptions& options, const std::string& programDir) {
  vek::TConsoleView view;
  vek::platform::TEnv& env = vek::platform::TEnv::Default();
  vek::TVekMainForm form(view, env);
  int status = 0;
  try {
    form.FormCreate({}, programDir);
    if (options.Command == "check") {
      // Set after start-up, which clears it: the option is never read from
      // or written to the settings file.
      if (options.MarkFallen) form.DatDownMenu.Checked = true;
      status = RunCheck(form, view, options);
    } else if (options.Command == "config") {
      vek::LogConfiguration(form.RunContext(), form.ProgramSettings());
    } else if (options.Command == "init-report") {
      form.InitNewReportMenuClick();
    } else if (options.Command == "backup") {
      form.BackupMenuClick();
    }
  } catch (const vek::TBackupStop& e) {
    // The message as the window shows it, nothing added but the mark.
    view.Flush();
    vek::platform::WriteStderr(std::string("ERROR: ") + e.what() + "\n");
    status = ExitRunFailed;
  } catch (const std::exception& e) {
    view.Flush();
    Error(vek::DisplayText(e));
    status = ExitRunFailed;
  }
  view.Flush();
  // Settings or log that cannot be saved fail a command that went well so
  // far; the message has named the file.
  if (!form.FormDestroy() && status == 0) status = ExitRunFailed;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (argc > 0) options.ProgramName = std::filesystem::path(argv[0]).stem().string();
  if (!ParseOptions(vek::platform::CommandLineArguments(argc, argv), options)) {
    // Through the terminal conversion: the text names a menu item in Japanese.
    vek::platform::WriteStderr(HelpText);
    return ExitUsage;
  }
  if (options.Help) {
    vek::platform::WriteStdout(HelpText);
    return 0;
  }
  if (options.Version) {
    vek::platform::WriteStdout(std::string("vek ") + vek::VersionText + "\n");
    return 0;
  }
  std::string dir = options.Dir.empty() ? vek::platform::EnvironmentVariable("VEK_DIR") : options.Dir;
  const std::string programDir = dir.empty() ? vek::platform::DefaultProgramDirectory() : ProgramDirectory(dir);
  if (options.Command == "config" && !options.Operands.empty()) {
    try {
      return vek::ConfigCommand(programDir, options.Operands);
    } catch (const std::exception& e) {
      Error(vek::DisplayText(e));
      return ExitRunFailed;
    }
  }
  return RunFormCommand(options, programDir);
}
