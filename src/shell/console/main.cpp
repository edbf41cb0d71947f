// The headless command: one check run, the configuration report or the
// new-thread report reset, with the same settings and files as the window.
#include <filesystem>
#include <string>
#include <vector>

#include "check/RunGuard.h"
#include "platform/Console.h"
#include "platform/Env.h"
#include "platform/Shell.h"
#include "shell/LogBackup.h"
#include "shell/VekMainForm.h"
#include "shell/console/ConsoleView.h"

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
    "  check --mark-fallen\n"
    "                 The same, and a thread that has fallen from its board gets the\n"
    "                 fallen mark in its index file (flag 16; the file keeps only its\n"
    "                 first line), so later checks leave it out. The window's menu\n"
    "                 item \"DAT 落ちをマークする\" does the same; like it, the choice holds\n"
    "                 for this start only and is never saved. Combines with --wait.\n"
    "  config         Print the configuration block that every check writes first.\n"
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
    "                 files and the subject cache) instead of the executable's own.\n"
    "  --help         Show this text.\n"
    "\n"
    "Every command ends like closing the window does: the settings are written back\n"
    "to vek.ini (keeping its time stamp) and the log is saved as veklog.txt.\n"
    "\n"
    "Exit status: 0 when the command completed, 1 when the check run failed or the\n"
    "backup stopped (the line beginning ERROR: says why), 2 when the check was\n"
    "refused, 64 for a usage error.\n";

constexpr int ExitRunFailed = 1;
constexpr int ExitRefused = 2;
constexpr int ExitUsage = 64;

// Command-line text to the core's code page 932 path form.
std::string CoreDirectory(const std::string& arg) {
  std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(arg));
  std::string text = path.string();
#ifndef _WIN32
  text = vek::platform::Utf8ToCp932(text);
#endif
  // The core's paths use "\" throughout, whatever the system writes.
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  if (!text.empty() && text.back() != '\\') text += '\\';
  return text;
}

void Error(const std::string& cp932Text) { vek::platform::WriteStderr("vek: " + cp932Text + "\n"); }

struct TOptions {
  std::string Command;
  std::string Dir;
  bool Wait = false;
  bool MarkFallen = false;
  bool Help = false;
};

bool ParseOptions(int argc, char** argv, TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--dir") {
      if (i + 1 >= argc) return false;
      options.Dir = CoreDirectory(argv[++i]);
    } else if (arg == "--wait") {
      options.Wait = true;
    } else if (arg == "--mark-fallen") {
      options.MarkFallen = true;
    } else if (options.Command.empty() &&
               (arg == "check" || arg == "config" || arg == "init-report" || arg == "backup")) {
      options.Command = arg;
    } else {
      return false;
    }
  }
  const bool checkOnly = options.Wait || options.MarkFallen;
  return options.Help || (!options.Command.empty() && (!checkOnly || options.Command == "check"));
}

// Where no window system can reach the host browser, the settings that close
// and start it around a check cannot be honoured; the check goes on.
void WarnHostControlUnavailable(const vek::TVekMainForm& form) {
  if (vek::platform::ProgramControlAvailable() || (!form.AutoDorFin() && !form.AutoDorRun())) return;
  Error("AutoDorFin/AutoDorRun are on, but the host browser is a Windows program that this "
        "command cannot close or start here; the check goes on without that");
}

int RunCheck(vek::TVekMainForm& form, vek::TConsoleView& view, bool wait) {
  using Outcome = vek::TVekMainForm::TRunOutcome;
  WarnHostControlUnavailable(form);
  form.UpdateCheckMenuClick();
  // Only a refusal for a pause leaves the timer armed; waiting for it is what
  // the window would do.
  while (wait && form.LastRunOutcome == Outcome::Refused && form.Timer.Enabled) {
    view.Flush();
    form.Env.Sleep(form.Timer.Interval);
    form.TimerTimer();
  }
  view.Flush();
  switch (form.LastRunOutcome) {
    case Outcome::Completed:
      return 0;
    case Outcome::Failed:
      Error("the check run failed: " + form.LastRunError);
      return ExitRunFailed;
    default:
      Error(form.Timer.Enabled ? "the check was refused for the self-restraint pause"
                               : "the check was refused (see the log)");
      return ExitRefused;
  }
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    // Through the terminal conversion: the text names a menu item in Japanese.
    vek::platform::WriteStderr(HelpText);
    return ExitUsage;
  }
  if (options.Help) {
    vek::platform::WriteStdout(HelpText);
    return 0;
  }
  vek::TConsoleView view;
  vek::platform::TEnv& env = vek::platform::TEnv::Default();
  vek::TVekMainForm form(view, env);
  int status = 0;
  try {
    form.FormCreate({}, options.Dir);
    if (options.Command == "check") {
      // Set after start-up, which clears it: the option is never read from
      // or written to the settings file.
      if (options.MarkFallen) form.DatDownMenu.Checked = true;
      status = RunCheck(form, view, options.Wait);
    } else if (options.Command == "config") {
      vek::LogConfiguration(form);
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
    Error(e.what());
    status = ExitRunFailed;
  }
  view.Flush();
  form.FormDestroy();
  return status;
}
