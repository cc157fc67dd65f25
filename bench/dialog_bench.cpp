// The widget base: parsing the module's resource scripts, building and laying out a dialog
// from its template, one modal run driven by the automation, and a message box answered
// by it.
#include <benchmark/benchmark.h>

#include <string>

#include "automation.h"
#include "cool_dialog.h"
#include "extension_module.h"
#include "platform_ui.h"
#include "resources.h"
#include "resources/module_resources.h"
#include "support/qt_app.h"

namespace {

// A template as large as the module's biggest windows: 60 controls of every kind.
std::string LargeTemplate() {
  std::string text =
      "500 DIALOGEX 0, 0, 648, 392\nCAPTION \"Large\"\nFONT 9, \"MS Shell Dlg\"\nBEGIN\n";
  for (int i = 0; i < 15; ++i) {
    int y = 8 + i * 24;
    std::string n = std::to_string(i);
    text += "  LTEXT \"Label " + n + "\", " + std::to_string(1000 + i) + ", 8, " +
            std::to_string(y) + ", 60, 8\n";
    text += "  EDITTEXT " + std::to_string(1100 + i) + ", 70, " + std::to_string(y) +
            ", 120, 14, ES_AUTOHSCROLL\n";
    text += "  COMBOBOX " + std::to_string(1200 + i) + ", 200, " + std::to_string(y) +
            ", 100, 80, CBS_DROPDOWNLIST\n";
    text += "  AUTOCHECKBOX \"Check " + n + "\", " + std::to_string(1300 + i) + ", 310, " +
            std::to_string(y) + ", 80, 10\n";
  }
  text += "  DEFPUSHBUTTON \"OK\", IDOK, 500, 370, 50, 14\nEND\n";
  return text;
}

void BM_ParseModuleScripts(benchmark::State& state) {
  const hrz::ScriptFiles files =
      hrz::ScriptFilesOf(hrz::kModuleResourceFiles, hrz::kModuleResourceFileCount);
  for (auto _ : state) {
    hrz::ResourceScript script;
    std::string error;
    for (const auto& [name, text] : files) {
      if (name.ends_with(".rc") && !hrz::ParseResourceScript(files, name, &script, &error)) {
        state.SkipWithError(error.c_str());
      }
    }
    benchmark::DoNotOptimize(script.dialogs.size());
  }
}
BENCHMARK(BM_ParseModuleScripts);

void BM_ParseLargeTemplate(benchmark::State& state) {
  std::string text = LargeTemplate();
  for (auto _ : state) {
    hrz::ResourceScript script;
    std::string error;
    benchmark::DoNotOptimize(hrz::ParseResourceScript(text, &script, &error));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseLargeTemplate);

// Creating the window and its controls, OnInitDialog and one pass of the event loop,
// ended by the automation as soon as the dialog is ready.
void BM_ModalRunOfTemplate(benchmark::State& state) {
  hrztest::App();
  std::string text = LargeTemplate();
  HINSTANCE module = reinterpret_cast<HINSTANCE>(0xbe4c);
  HrzResourceFile file{"large.rc", reinterpret_cast<const unsigned char*>(text.data()),
                       text.size()};
  AfxRegisterModuleResources(module, &file, 1, nullptr);
  AfxSetResourceHandle(module);
  struct EndAtOnce : hrz::ScriptedAutomation {
    void OnDialogInit(CCoolDialog& dialog) override { dialog.EndDialog(IDOK); }
  } automation;
  hrz::AutomationScope scope(&automation);
  for (auto _ : state) {
    CCoolDialog dialog(500);
    benchmark::DoNotOptimize(dialog.DoModal());
  }
  AfxSetResourceHandle(nullptr);
  AfxUnregisterModuleResources(module);
}
BENCHMARK(BM_ModalRunOfTemplate)->Unit(benchmark::kMillisecond);

void BM_AnsweredMessageBox(benchmark::State& state) {
  // Answers without keeping a record, so that the run measures the call alone.
  struct Answer : hrz::Automation {
    void OnDialogInit(CCoolDialog&) override {}
    int AnswerMessageBox(const hrz::MessageBoxCall&) override { return IDOK; }
    bool AnswerFileDialog(const hrz::FileDialogCall&, std::string*) override { return false; }
    bool AnswerShellOpen(const hrz::ShellOpenCall&) override { return false; }
  } automation;
  hrz::AutomationScope scope(&automation);
  for (auto _ : state) {
    benchmark::DoNotOptimize(MessageBoxA(nullptr, "Delete?", "Users", MB_OKCANCEL));
  }
}
BENCHMARK(BM_AnsweredMessageBox);

}  // namespace

BENCHMARK_MAIN();
