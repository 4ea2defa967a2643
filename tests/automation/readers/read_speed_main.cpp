// Measures ReadSheet against merely inflating the same parts, on a workbook of mixed content
// generated with libxlsxwriter: tavrio_read_speed [rows] [files]. Not a test: it prints times.

#include <minizip/unzip.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "automation/readers/workbook_reader.h"
#include "tests/support/temp_folder.h"

namespace {

using tavrio::automation::readers::CellSink;
using Clock = std::chrono::steady_clock;

void Generate(const std::string& path, int rows) {
  lxw_workbook* workbook = workbook_new(path.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "数据");
  lxw_format* date = workbook_add_format(workbook);
  format_set_num_format(date, "yyyy-mm-dd");
  const char* words[] = {"北京", "上海", "Guangzhou", "深圳分公司", "Chengdu", "杭州"};
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 12; ++c) {
      switch (c % 4) {
        case 0:
          worksheet_write_number(sheet, r, c, r * 12.5 + c, nullptr);
          break;
        case 1:
          worksheet_write_string(
              sheet, r, c, (std::string(words[(r + c) % 6]) + std::to_string(r % 997)).c_str(),
              nullptr);
          break;
        case 2:
          worksheet_write_number(sheet, r, c, 40000 + r % 3650, date);
          break;
        default:
          worksheet_write_number(sheet, r, c, (r * 7919 + c) % 100003 / 7.0, nullptr);
      }
    }
  }
  workbook_close(workbook);
}

std::size_t InflateOnly(const std::string& path) {
  unzFile zip = unzOpen64(path.c_str());
  std::vector<char> buffer(256 * 1024);
  std::size_t total = 0;
  for (const char* part : {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml"}) {
    unzLocateFile(zip, part, 0);
    unzOpenCurrentFile(zip);
    for (int n; (n = unzReadCurrentFile(zip, buffer.data(), buffer.size())) > 0;) total += n;
    unzCloseCurrentFile(zip);
  }
  unzClose(zip);
  return total;
}

struct CountingSink : CellSink {
  std::size_t cells = 0;
  double sum = 0;
  void Cells(std::span<const tavrio::automation::readers::SinkCell> handed) override {
    for (const auto& cell : handed) sum += cell.number + static_cast<double>(cell.text.size());
    cells += handed.size();
  }
};

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::stoi(argv[1]) : 40000;
  const int repeats = argc > 2 ? std::stoi(argv[2]) : 5;
  tavrio::testing::TempFolder dir;
  const std::string path = dir.File("speed.xlsx");
  Generate(path, rows);
  double inflate = 1e9, read = 1e9;
  std::size_t bytes = 0, cells = 0;
  for (int i = 0; i < repeats; ++i) {
    auto start = Clock::now();
    bytes = InflateOnly(path);
    inflate = std::min(inflate, Seconds(start));
    start = Clock::now();
    auto reader = tavrio::automation::readers::OpenWorkbookFile(path);
    CountingSink sink;
    reader->ReadSheet(0, sink);
    read = std::min(read, Seconds(start));
    cells = sink.cells;
  }
  std::printf("%d rows x 12 columns: %zu cells, %.1f MB inflated\n", rows, cells, bytes / 1e6);
  std::printf("inflate only (sheet + shared strings): %.3f s\n", inflate);
  std::printf("open + ReadSheet:                      %.3f s (%.2fx)\n", read, read / inflate);
  return 0;
}
