#include "automation/readers/workbook_part.h"

#include "automation/readers/cell_text.h"
#include "automation/readers/read_fault.h"
#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

bool IsTrue(const char* value) {
  if (value == nullptr) return false;
  std::string_view text(value);
  return text == "1" || text == "true";
}

// The sheet's relationship id: the attribute "id" in the relationships namespace, whatever
// prefix the writer bound it to.
const char* RelationshipId(pugi::xml_node sheet) {
  for (pugi::xml_attribute a = sheet.first_attribute(); a; a = a.next_attribute()) {
    std::string_view name = a.name();
    if (name.size() > 3 && name.substr(name.size() - 3) == ":id") return a.value();
  }
  return nullptr;
}

}  // namespace

WorkbookPart ParseWorkbookPart(std::string xml, std::string_view part) {
  XmlPart document(std::move(xml), part);
  if (!IsNamed(document.root(), "workbook")) {
    throw ReadFault("不是工作簿文件：" + PartName(part) + "不是工作簿");
  }
  WorkbookPart workbook;
  workbook.date1904 = IsTrue(AttributeValue(FirstChild(document.root(), "workbookPr"), "date1904"));
  workbook.full_calc_on_load =
      IsTrue(AttributeValue(FirstChild(document.root(), "calcPr"), "fullCalcOnLoad"));
  for (pugi::xml_node sheet = FirstChild(document.root(), "sheets").first_child(); sheet;
       sheet = sheet.next_sibling()) {
    if (!IsNamed(sheet, "sheet")) continue;
    const char* name = AttributeValue(sheet, "name");
    const char* id = RelationshipId(sheet);
    if (name == nullptr || *name == '\0' || id == nullptr || *id == '\0') {
      throw ReadFault("文件已损坏：" + PartName(part) + "中的工作表定义不完整");
    }
    const char* state = AttributeValue(sheet, "state");
    bool hidden = state != nullptr && std::string_view(state) != "visible";
    // Sheet names are escaped as cell texts are (_xHHHH_).
    std::string scratch;
    workbook.sheets.push_back({std::string(DecodeEscapes(name, scratch)), hidden, id});
  }
  if (workbook.sheets.empty()) {
    throw ReadFault("文件已损坏：" + PartName(part) + "中没有任何工作表");
  }
  return workbook;
}

}  // namespace tavrio::automation::readers
