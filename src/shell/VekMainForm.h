// The heart of the program: every setting and path, the run state that lives
// between check runs, the components the views render, and every command.
// It knows no window system: it talks to an IVekView and to the platform's
// TEnv, both handed in by the front-end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "check/CheckRun.h"
#include "platform/Env.h"
#include "reports/RunContext.h"
#include "shell/Components.h"
#include "shell/TrayLife.h"
#include "shell/VekView.h"
#include "support/StringList.h"
#include "support/funcs.h"

namespace vek {

// The window's outer size at 100 % scaling while vek.ini names none.
inline constexpr int DefaultWindowWidth = 688;
inline constexpr int DefaultWindowHeight = 453;

class TVekMainForm : public IRunLog, public IRunProgress {
 public:
  TVekMainForm(IVekView& view, platform::TEnv& env);

  // Start-up and exit. FormCreate reads the command line (arguments after the
  // program name) and the settings file; FormDestroy writes them back, and
  // answers false when the settings or the log could not be saved (it has
  // shown why).
  // appPath overrides the executable's directory (tests, the --dir option).
  void FormCreate(const std::vector<std::string>& args, const std::string& appPath = "");
  bool FormDestroy();

  // --- paths (directories end in "\"; every file name: Paths()) ---
  std::string AppPath() const { return AppPath_; }
  std::string DorPath() const { return DorPath_; }
  void SetDorPath(const std::string& path) { DorPath_ = path; }
  TProgramPaths Paths() const { return TProgramPaths{AppPath_, DorPath_, NewIdxName}; }

  // --- boolean settings: the check marks of their menu items ---
  bool MinStart() const { return MinStartMenu.Checked; }
  bool AutoStart() const { return AutoStartMenu.Checked; }
  bool AutoShutDown() const { return AutoShutDownMenu.Checked; }
  bool GreedyCheck() const { return GreedyCheckMenu.Checked; }
  bool NotifySound() const { return NotifySoundMenu.Checked; }
  bool ExternalCheck() const { return ExternalCheckMenu.Checked; }
  bool AutoDorFin() const { return AutoDorFinMenu.Checked; }
  bool AutoDorRun() const { return AutoDorRunMenu.Checked; }
  bool AutoInit() const { return AutoInitMenu.Checked; }
  bool FailedReport() const { return FailedReportMenu.Checked; }
  bool NotifyBalloon() const { return NotifyBalloonMenu.Checked; }
  // Sets a menu item's check mark and shows it.
  void SetMenuCheck(TMenuItem& item, bool v);

  int IdxType() const { return IdxComboBox.ItemIndex; }
  void SetIdxType(int index);
  std::string IgnoreIdxList() const;
  void SetIgnoreIdxList(const std::string& text);

  // --- string and integer settings (their defaults: shell/Settings.cpp) ---
  std::string Proxy;
  std::string SoundName;
  std::string NewIdxName;
  std::string IconName;
  std::string BoardExp;
  std::string ThreadExp;
  int TimeOutTime = 0;
  int CheckEvery = 0;  // minutes between periodic checks; 0: none
  int NextThreadAt = 1000;  // a thread with this many responses is full; 0: none is
  // Deployment configuration (section "VEK"): ";"-separated lists; empty turns
  // the treatment off.
  std::string PrimarySuffixes;
  std::string RentalDomains;
  std::string RentalOldHost;
  std::vector<std::string> PrimarySuffixList() const;
  std::vector<std::string> RentalDomainList() const;

  // --- window placement ("Window" section): the outer rectangle ---
  int WindowTop = 0;
  int WindowLeft = 0;
  int WindowWidth = 0;
  int WindowHeight = 0;
  bool WindowMaximized = false;

  // --- command-line switches seen by FormCreate ---
  bool AutoStartSwitch = false;
  bool AutoInitSwitch = false;
  bool TraySwitch = false;  // "/tray": the window stays hidden (start with Windows)
  bool StartsHidden() const { return MinStart() || TraySwitch; }

  // --- run state kept between runs ---
  TRunState RunState;
  bool RunUnderWay = false;  // between the driver's SetRunUnderWay(true) and (false)
  uint32_t TimerPeriod = 0;  // the timer resolution asked for at start-up
  platform::TTimerPeriod TimerPeriodHold;  // releases TimerPeriod

  // --- log pane ---
  void AddLogLine(const std::string& text = "") override;
  void AppendToLogLine(const std::string& text) override;
  void ProcessMessages() override { View.ProcessMessages(); }

  // What the steps of a check run read: the settings as they stand now, the
  // log pane and the clock; and the settings of the program around the run
  // that its configuration block shows.
  TRunSettings RunSettings() const;
  TRunContext RunContext() { return TRunContext{RunSettings(), *this, Env}; }
  TProgramSettings ProgramSettings() const;

  // How the last call of RunUpdateCheck ended and what it found, for
  // front-ends that report it (the console command's exit status, the
  // window's message).
  const TRunResult& LastRun() const { return LastRun_; }

  // Arms the timer for the next periodic check when "CheckEvery" is on and
  // the program stays open for it ("AutoShutDown" wins), and says when in the
  // log: right after a run, or at start (and when the interval changes),
  // counting from the settings file's stamp.
  void ArmPeriodicCheck(bool afterRun);

  // --- a run's progress, shown in the components and the view ---
  void SetRunTitle(const std::string& title) override { View.SetApplicationTitle(title); }
  void SetRunStatus(const std::string& text) override;
  void SetTrayFrame(int frame) override { View.SetTrayImage(frame); }
  void SetRunUnderWay(bool underWay) override;
  void ShowLogPane() override;
  void OpenDocument(const std::string& path) override { View.OpenDocument(path); }
  // The host browser: its main window closed, and itself started ("mirl.exe",
  // else "Dorvella.exe", in the host directory); also the commands of their
  // menu items. Nothing where the platform cannot reach other programs.
  void CloseHostBrowser() override;
  void StartHostBrowser() override;

  // --- commands ---
  void RunUpdateCheck();
  void UpdateCheckMenuClick();
  void TimerTimer();
  void StartCheckTimer(unsigned milliseconds);
  void InitNewReportMenuClick();
  void WMStartCheck();
  void CheckMenuClick(TMenuItem& item);
  // Keeps and shows the icon file only when it exists.
  void SetIconFile(const std::string& fileName);
  void IgnoreIdxMenuClick();
  void QuitMenuClick();
  // The settings that dialogs change.
  void DirectoryMenuClick();
  void SoundNameMenuClick();
  void IconMenuClick();
  void NewIdxMenuClick();
  void ProxyMenuClick();
  void CheckEveryMenuClick();
  // Days in the tray (shell/TrayLife.cpp): the machine woke from sleep; the
  // Run value of the start with Windows written or removed.
  void ResumedFromSleep();
  void StartWithWindowsMenuClick();
  // The most text the log keeps (LogBoundBytes; only tests lower it).
  size_t LogBound = LogBoundBytes;
  // One item of the ignore list view ticked or cleared by the user.
  void SetIgnoreIdxChecked(int index, bool checked);
  // Moves the files of the host browser's fallen threads to "backlog\"
  // (throws TBackupStop, see shell/LogBackup.h).
  void BackupMenuClick();

  // --- components ---
  TMenuItem FileMenu{"FileMenu", "ファイル(&F)"};
  TMenuItem ExecuteMenu{"ExecuteMenu", "実行(&R)"};
  TMenuItem ConfigAMenu{"ConfigAMenu", "設定A(&1)"};
  TMenuItem ConfigBMenu{"ConfigBMenu", "設定B(&2)"};
  TMenuItem ConfigCMenu{"ConfigCMenu", "設定C(&3)"};
  TMenuItem QuitMenu{"QuitMenu", "VEK の終了(&X)"};
  TMenuItem UpdateCheckMenu{"UpdateCheckMenu", "更新チェック(&U)"};
  TMenuItem InitNewReportMenu{"InitNewReportMenu", "新規スレ報告の初期化"};
  TMenuItem RunDorMenu{"RunDorMenu", "Dorvellaの起動"};
  TMenuItem FinDorMenu{"FinDorMenu", "Dorvellaの終了"};
  TMenuItem BackupMenu{"BackupMenu", "ログのバックアップ(&B)"};
  TMenuItem DirectoryMenu{"DirectoryMenu", "ディレクトリ..."};
  TMenuItem SoundNameMenu{"SoundNameMenu", "完了通知音..."};
  TMenuItem NewIdxMenu{"NewIdxMenu", "新着倉庫..."};
  TMenuItem IconMenu{"IconMenu", "アイコン..."};
  TMenuItem ProxyMenu{"ProxyMenu", "プロクシー..."};
  TMenuItem IgnoreIdxMenu{"IgnoreIdxMenu", "除外指定"};
  TMenuItem MinStartMenu{"MinStartMenu", "最小化起動"};
  TMenuItem AutoStartMenu{"AutoStartMenu", "起動時自動開始"};
  TMenuItem AutoShutDownMenu{"AutoShutDownMenu", "完了時自動終了"};
  TMenuItem GreedyCheckMenu{"GreedyCheckMenu", "不完全除外"};
  TMenuItem NotifySoundMenu{"NotifySoundMenu", "完了時音通知"};
  TMenuItem ExternalCheckMenu{"ExternalCheckMenu", "外部板チェック"};
  TMenuItem CheckEveryMenu{"CheckEveryMenu", "定期チェック..."};
  TMenuItem NotifyBalloonMenu{"NotifyBalloonMenu", "完了時バルーン通知"};
  TMenuItem NextThreadReportMenu{"NextThreadReportMenu", "次スレ候補レポート"};
  TMenuItem AutoDorFinMenu{"AutoDorFinMenu", "チェック開始時にDorvellaを終了"};
  TMenuItem AutoDorRunMenu{"AutoDorRunMenu", "チェック終了時にDorvellaを起動"};
  TMenuItem AutoInitMenu{"AutoInitMenu", "起動時に新規スレ報告の初期化を行う"};
  TMenuItem FailedReportMenu{"FailedReportMenu", "Failed が発生した時に報告する"};
  TMenuItem ConditionalGetMenu{"ConditionalGetMenu", "条件付きリクエスト"};
  TMenuItem DatDownMenu{"DatDownMenu", "DAT 落ちをマークする"};
  TMenuItem StartWithWindowsMenu{"StartWithWindowsMenu", "Windows起動時に開始"};
  TButton UpdateCheckButton{"UpdateCheckButton", "更新チェック"};
  TButton IgnoreIdxButton{"IgnoreIdxButton", "除外指定"};
  TButton InitNewReportButton{"InitNewReportButton", "初期化"};
  TComboBox IdxComboBox{"IdxComboBox"};
  TCheckListBox IgnoreIdxCheckListBox{"IgnoreIdxCheckListBox"};
  TMemo LogMemo{"LogMemo"};
  TStatusBar MainStatusBar{"MainStatusBar"};
  TTimer Timer{"Timer"};

  IVekView& View;
  platform::TEnv& Env;

 private:
  // Sound and closing after a run that got through; after every run that
  // started, the notice and the next periodic check.
  void ActOnRunResult();
  void ShowRunNotice();
  // The oldest whole checks leave the log past LogBoundBytes (shell/TrayLife.h).
  void KeepLogWithinBound();
  std::vector<size_t> LogRunStarts_;  // the first line of each check in the log
  std::string AppPath_;
  std::string DorPath_;
  TRunResult LastRun_;
};

}  // namespace vek
