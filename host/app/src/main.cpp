// hrzhost: logs on to a store, loads the administration module and offers its commands.
#include <QApplication>
#include <QLocale>
#include <QStyle>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "automation.h"
#include "extension_module.h"
#include "host_bridge.h"
#include "host_resources.h"
#include "hrzcommon/text.h"
#include "logon_dialog.h"
#include "main_window.h"
#include "options.h"
#include "password_expiry.h"
#include "platform_ui.h"
#include "plugin_module.h"
#include "qt_handle.h"
#include "screenshot_scenes.h"
#include "screenshots.h"
#include "store_location.h"
#include "window_frame.h"
#include "xclidb.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "hrzhost: %s\n", message.c_str());
  MessageBoxA(nullptr, message.c_str(), "hrzhost", MB_OK | MB_ICONHAND);
  return 1;
}

std::string ModulePath(const hrzhost::Options& options) {
  if (!options.modulePath.empty()) return options.modulePath;
  const char* fromEnv = std::getenv("HRZ_MODULE");
  if (fromEnv != nullptr && *fromEnv != '\0') return fromEnv;
  return HRZ_DEFAULT_MODULE;
}

int TakeScreenshots(hrzhost::MainWindow& window, hrzhost::HostBridge& bridge,
                    hrzhost::ScreenshotAutomation& automation, const std::string& folder) {
  window.show();
  QApplication::processEvents();
  std::string main = folder + "/mainwindow.png";
  if (!hrzhost::FramedPicture(window).save(QString::fromStdString(main), "PNG")) {
    return Fail("cannot write " + main);
  }
  std::printf("%s\n", main.c_str());
  for (const hrzhost::HostCommand& command : hrzhost::HostCommands()) {
    if (!command.moduleCommand) continue;
    automation.SetName(hrz::LowerAscii(command.name));
    window.RunCommand(command);
  }
  hrzhost::ShowCommandCapture(window, automation);
  hrzhost::ShowFreeTextApplications(window, bridge, automation);
  hrzhost::ShowInGerman(window, automation);
  for (const std::string& file : automation.Written()) std::printf("%s\n", file.c_str());
  for (const std::string& file : automation.Failed())
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
  return automation.Failed().empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  hrzhost::Options options;
  std::string error;
  if (!hrzhost::ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "hrzhost: %s\n%s", error.c_str(), hrzhost::Usage());
    return 2;
  }
  if (options.help) {
    std::printf("%s", hrzhost::Usage());
    return 0;
  }
  if (options.version) {
    std::printf("%s", hrzhost::VersionLine().c_str());
    return 0;
  }
  if (options.machineCode) {
    char code[XCLI_MACHINE_CODE_SIZE];
    if (XCliGetMachineCode(code, sizeof code) == 0) return Fail("cannot derive the machine code");
    std::printf("%s\n", code);
    return 0;
  }
  if (!hrzhost::HasDisplay()) {
    // Pictures need no one to look at a window while they are taken.
    if (options.screenshotDir.empty()) {
      std::fprintf(stderr,
                   "hrzhost: no display; ./setup.sh run serves it to a VNC viewer, and "
                   "hrzhost --screenshot DIR saves a picture of every dialog (see --help).\n");
      return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("hrzhost"));
  // Pictures are the same on every machine: English unless --lang says otherwise.
  const std::string locale =
      options.screenshotDir.empty() ? QLocale::system().name().toStdString() : "en";
  hrzcfg::SelectMessageLanguage(hrzhost::ShownLanguage(options, locale));
  QApplication::setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon));
  if (!hrzhost::RegisterHostResources()) return 1;

  std::string location = options.location;
  if (location.empty()) {
    location = hrzhost::DefaultStorePath();
    if (!hrzhost::EnsureStore(location, &error)) return Fail(error);
  }
  if (!options.screenshotDir.empty()) {
    std::filesystem::create_directories(options.screenshotDir);
  }
  // Dialogs are saved from the first one, the logon, on.
  std::unique_ptr<hrzhost::ScreenshotAutomation> screenshots;
  std::unique_ptr<hrz::AutomationScope> automationScope;
  if (!options.screenshotDir.empty()) {
    screenshots = std::make_unique<hrzhost::ScreenshotAutomation>(options.screenshotDir);
    screenshots->SetName("logon");
    screenshots->OnDialog(hrzhost::IDD_LOGON, [](hrz::DialogDriver& logon) {
      logon.SetText(hrzhost::IDC_LOGON_USER, "adm");
      logon.SetText(hrzhost::IDC_LOGON_PASSWORD, hrzhost::kFirstStartAdminPassword);
      logon.Click(IDOK);
    });
    hrzhost::AddUserManagerScenes(*screenshots);
    hrzhost::AddPrivilegeEditorScenes(*screenshots);
    hrzhost::AddDecryptAppsScenes(*screenshots);
    hrzhost::AddStatisticsScenes(*screenshots, location);
    automationScope = std::make_unique<hrz::AutomationScope>(screenshots.get());
  }

  hrzhost::LogonDialog logon(location, options.user);
  {
    ResourceHandleScope resources(hrzhost::HostInstance());
    if (logon.DoModal() != IDOK) {
      if (screenshots == nullptr) return 0;  // the user cancelled
      std::string reason = screenshots->MessageBoxes().empty()
                               ? std::string("no answer")
                               : screenshots->MessageBoxes().back().text;
      std::fprintf(stderr, "hrzhost: cannot log on to %s: %s\n", location.c_str(), reason.c_str());
      return 1;
    }
  }
  tagXCliDB* db = logon.TakeConnection();
  std::printf("Logged on as %s to %s\n", logon.User().c_str(), logon.Location().c_str());

  hrzhost::PluginModule module;
  if (!module.Load(ModulePath(options), &error)) {
    XCliDB_Close(db);
    return Fail(error);
  }
  hrzhost::HostBridge bridge;
  int result = 0;
  {
    hrzhost::MainWindow window(bridge, logon.User(), logon.Location());
    bridge.Attach(module.Entry(), db, HwndFromWidget(&window));
    // An expired password must be changed before anything else; not changed, the client
    // says so and logs off.
    if (screenshots != nullptr) {
      result = TakeScreenshots(window, bridge, *screenshots, options.screenshotDir);
    } else if (hrzhost::ExpiredPasswordChanged(window, db)) {
      window.show();
      result = QApplication::exec();
    }
  }
  XCliDB_Logoff(db);
  XCliDB_Close(db);
  return result;
}
