#pragma once

// The functions an OpenDocument formula may call that an .xlsx formula calls too, under the
// name each format spells. Most names are equal; Excel 2010 and later functions carry the
// "_xlfn." prefix in an .xlsx file, and LibreOffice writes some Excel functions under names of
// its own ("COM.MICROSOFT.CEILING", "LEGACY.FDIST", "FORMULA" for FORMULATEXT).

#include <optional>
#include <string_view>

namespace tavrio::automation::readers {

// The .xlsx spelling of the OpenDocument function `name` (letters in either case): "SUM" for
// "sum", "_xlfn.IFS" for "COM.MICROSOFT.IFS". nullopt for a function with no Excel equivalent
// known for certain: LibreOffice's own functions, a plain CEILING or FLOOR (OpenFormula's,
// whose rounding of negative numbers is not Excel's), and every name LibreOffice itself did not
// know, which it keeps in lower case ("_xlfn.xlookup").
std::optional<std::string_view> ExcelFunctionName(std::string_view name);

}  // namespace tavrio::automation::readers
