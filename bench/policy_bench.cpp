// Loading a compressed kernel policy of 5,000 applications as the module does (copy beside
// the temporary folder, read, inflate, parse into the section resource) and showing it in the
// application tree (built, laid out and painted), beside its floor in the same iterations:
// reading and inflating the same file alone.
// Counters: each in milliseconds, and the ratios of the load, and of load and show, to the
// floor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>

#include <chrono>
#include <cstdlib>
#include <string>

#include "endpoint/kqkrn_file.h"
#include "endpoint/krn_app_tree.h"
#include "entry/module_state.h"
#include "hrzcommon/cfg_file.h"
#include "support/module_host.h"
#include "support/section_resource.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kApplications = 5000;

std::string PolicyText() {
  std::string text = "//TEXT\r\n1, Kernel\r\n1.1, Kernel Name, Bench kernel\r\n";
  for (int i = 0; i < kApplications; ++i) {
    const std::string exe = "app" + std::to_string(i) + ".exe";
    text += "1.1, Include " + exe + ", True\r\n1.1, Encrypt " + exe + ", Write\r\n";
  }
  text += "2, App\r\n";
  for (int i = 0; i < kApplications; ++i) {
    text += "2.1, app" + std::to_string(i) + ".exe, Application " + std::to_string(i) +
            "|Category " + std::to_string(i % 40) + "\r\n";
  }
  return text;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

void BM_PolicyOf5000Applications(benchmark::State& state) {
  hrztest::ModuleHost module;  // the module's texts and its bitmap of tree images
  hrz::ModuleResourceScope resources;
  hrztest::TempDir dir;
  const std::string moduleFile = dir.File("libhrzuser.so");
  const std::string source = hrz::KrnPolicySource(moduleFile);
  if (!hrz::SaveCfgText(source.c_str(), PolicyText(), true)) std::abort();
  double load = 0, show = 0, floor = 0;
  for (auto _ : state) {
    hrz::XKrnAppTree tree;
    tree.View()->resize(400, 600);
    tree.View()->show();
    const Clock::time_point start = Clock::now();
    hrz::SectionResource policy;
    if (!hrz::LoadKrnPolicy(moduleFile.c_str(), &policy, nullptr) ||
        policy.EntryCount("App") != kApplications) {
      std::abort();
    }
    const Clock::time_point loaded = Clock::now();
    tree.Prepare();
    tree.Build(policy);
    QApplication::processEvents();  // laid out and painted
    // Root, kernel, 40 categories and every application.
    if (tree.GetNodes(-1) != 2 + 40 + kApplications) std::abort();
    const Clock::time_point shown = Clock::now();
    std::string text;
    if (!hrz::LoadCfgText(source.c_str(), &text, nullptr)) std::abort();
    benchmark::DoNotOptimize(text.data());
    const Clock::time_point inflated = Clock::now();
    load += Seconds(start, loaded);
    show += Seconds(loaded, shown);
    floor += Seconds(shown, inflated);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["load_ms"] = load / n * 1e3;
  state.counters["show_ms"] = show / n * 1e3;
  state.counters["read_inflate_ms"] = floor / n * 1e3;
  state.counters["load_vs_floor"] = load / floor;
  state.counters["load_show_vs_floor"] = (load + show) / floor;
}
BENCHMARK(BM_PolicyOf5000Applications)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
