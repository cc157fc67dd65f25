// A host that loads the module, runs one command and returns from main without unloading
// it, as any host may. The library's detach then runs during the process's exit, after the
// static objects of the widget library are gone; the process must still end with status 0.
#include <dlfcn.h>
#include <stdlib.h>

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <string>

#include "automation.h"
#include "hrzlib.h"
#include "xclidb.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "host_keeps_module_loaded: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);

  char folder[] = "/tmp/hrz_keep_loaded_XXXXXX";
  if (mkdtemp(folder) == nullptr) return Fail("no temporary folder");
  const std::string store = std::string(folder) + "/store.db";
  char error[256] = {};
  tagXCliDB* db = nullptr;
  int status = 0;
  if (XCliDB_CreateStore(store.c_str(), "adm-secret", 0, error, sizeof error) != 1 ||
      (db = XCliDB_Open(store.c_str(), error, sizeof error)) == nullptr ||
      XCliDB_Logon(db, "adm", "adm-secret", 1, &status, nullptr, 0) != 1) {
    return Fail(std::string("no store: ") + error);
  }

  void* module = dlopen(HRZ_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return Fail(dlerror());
  auto entry = reinterpret_cast<HRZCmdFunc>(dlsym(module, kHRZCmdSymbol));
  if (entry == nullptr) return Fail("no entry");

  tagHRZLib lib;
  void* params[3] = {nullptr, db, &lib};
  entry(1, nullptr, params, nullptr);
  // No script for the dialog: the automation cancels it once it has opened.
  hrz::ScriptedAutomation automation;
  {
    hrz::AutomationScope scope(&automation);
    entry(20, "XCHGPWD", nullptr, nullptr);
  }
  if (automation.Dialogs().empty()) return Fail("the command opened no dialog");

  XCliDB_Logoff(db);
  XCliDB_Close(db);
  std::filesystem::remove_all(folder);
  return 0;  // the module stays loaded
}
