#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

struct WorkbookSheet {
  std::string name;
  bool hidden = false;  // hidden or very hidden
  std::string relationship_id;
};

struct WorkbookPart {
  std::vector<WorkbookSheet> sheets;  // in workbook order
  bool date1904 = false;
  bool full_calc_on_load = false;  // calcPr: the opening application is to recalculate all
};

// Parses the workbook part held in memory. Throws ReadFault when its root is not a workbook
// or a sheet lacks its name or relationship.
WorkbookPart ParseWorkbookPart(std::string xml, std::string_view part);

}  // namespace tavrio::automation::readers
