// Google Benchmark over the pieces of one file's merge, so that the engine and the reader can be
// tuned one at a time: reading a sheet alone, one file's open-copy-paste-close on the engine,
// and the same followed by saving the pasted block.
//
// Usage: tavrio-bench-micro WORKBOOK [--benchmark_... flags]

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "automation/base/error.h"
#include "automation/engine/engine.h"
#include "automation/readers/workbook_reader.h"
#include "automation/writers/save_workbook.h"

namespace {

namespace fs = std::filesystem;
using tavrio::automation::Engine;

// Counts cells and text bytes, so the reader cannot skip work that nothing looks at.
class CountingSink : public tavrio::automation::readers::CellSink {
 public:
  void Cells(std::span<const tavrio::automation::readers::SinkCell> handed) override {
    for (const auto& cell : handed) text_bytes += static_cast<std::int64_t>(cell.text.size());
    cells += static_cast<std::int64_t>(handed.size());
  }

  std::int64_t cells = 0;
  std::int64_t text_bytes = 0;
};

void ReadSheet(benchmark::State& state, const std::string& path) {
  std::int64_t cells = 0;
  for (auto _ : state) {
    CountingSink sink;
    tavrio::automation::readers::OpenWorkbookFile(path)->ReadSheet(0, sink);
    benchmark::DoNotOptimize(sink.text_bytes);
    cells = sink.cells;
  }
  state.SetItemsProcessed(state.iterations() * cells);
  state.counters["cells"] = static_cast<double>(cells);
}

// One file as the merge run treats the first one; returns the merged workbook's name.
std::string OpenCopyPaste(Engine& engine, const std::string& path) {
  engine.OpenWorkbook(path);
  const std::string source = engine.ActiveWorkbookName();
  engine.SelectSheet(std::int16_t{1});
  engine.SelectRows("1:1");
  engine.ExtendSelectionToLastUsedRow();
  engine.CopySelection();
  engine.AddWorkbook();
  engine.PasteIntoActiveSheet();
  const std::string merged = engine.ActiveWorkbookName();
  engine.ActivateWindow(source);
  engine.SetCutCopyMode(false);
  engine.CloseActiveWindow();
  return merged;
}

void OpenCopyPasteClose(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    Engine engine{&tavrio::automation::readers::OpenWorkbookFile,
                  &tavrio::automation::writers::SaveWorkbook};
    const std::string merged = OpenCopyPaste(engine, path);
    engine.ActivateWindow(merged);
    benchmark::DoNotOptimize(engine.ActiveSheetLastUsedRow());
  }
}

void OpenPasteSave(benchmark::State& state, const std::string& path) {
  const fs::path output = fs::temp_directory_path() / "tavrio-micro-benchmark.xlsx";
  for (auto _ : state) {
    Engine engine{&tavrio::automation::readers::OpenWorkbookFile,
                  &tavrio::automation::writers::SaveWorkbook};
    const std::string merged = OpenCopyPaste(engine, path);
    std::error_code ignored;
    fs::remove(output, ignored);
    engine.SaveWorkbookAs(merged, output.string());
  }
  std::error_code ignored;
  fs::remove(output, ignored);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tavrio-bench-micro WORKBOOK [--benchmark_... flags]\n");
    return 2;
  }
  const std::string path = argv[1];
  benchmark::RegisterBenchmark("ReadSheet", ReadSheet, path)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("OpenCopyPasteClose", OpenCopyPasteClose, path)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("OpenPasteSave", OpenPasteSave, path)->Unit(benchmark::kMillisecond);
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const tavrio::Error& error) {
    std::fprintf(stderr, "%s\n", tavrio::FormatError(error).c_str());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
