#pragma once

// Entry points that parse one part of a workbook package held in memory, for fuzzing each
// parser on its own. All throw ReadFault (read_fault.h) for input they refuse; none writes
// anything anywhere else.
//
//   ParseSheetXml       worksheet part -> CellSink          (sheet_parser.h)
//   ParseSharedStrings  shared-strings part -> strings       (shared_strings.h)
//   ParseStylesPart     styles part -> cell styles           (styles_part.h)
//   ParseThemePart      theme part -> theme colours          (theme_part.h)
//   ParseWorkbookPart   workbook part -> sheets, date system (workbook_part.h)
//   ParseRelationships  relationships part -> targets        (relationships.h)

#include "automation/readers/read_fault.h"
#include "automation/readers/relationships.h"
#include "automation/readers/shared_strings.h"
#include "automation/readers/sheet_parser.h"
#include "automation/readers/styles_part.h"
#include "automation/readers/theme_part.h"
#include "automation/readers/workbook_part.h"
