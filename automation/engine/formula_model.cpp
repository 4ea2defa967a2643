#include "automation/engine/formula_model.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <ixion/address.hpp>
#include <ixion/cell.hpp>
#include <ixion/exceptions.hpp>
#include <ixion/formula.hpp>
#include <ixion/formula_function_opcode.hpp>
#include <ixion/formula_name_resolver.hpp>
#include <ixion/formula_result.hpp>
#include <ixion/formula_tokens.hpp>
#include <ixion/model_context.hpp>
#include <map>
#include <mutex>
#include <unordered_map>

#include "automation/base/formula_shift.h"
#include "automation/base/sheet_limits.h"

namespace tavrio::automation::engine {
namespace {

using ixion::fopcode_t;
using ixion::formula_error_t;
using ixion::formula_function_t;

// Functions the library has but computes otherwise than spreadsheet applications (see the
// header); found by comparing with LibreOffice.
bool ComputedOtherwise(formula_function_t function) {
  switch (function) {
    case formula_function_t::func_now:
    case formula_function_t::func_left:
    case formula_function_t::func_len:
    case formula_function_t::func_iserror:
    case formula_function_t::func_iserr:
    case formula_function_t::func_isna:
    case formula_function_t::func_wait:
      return true;
    default:
      return false;
  }
}

// Whether the library implements the function. It names every function it knows of but
// throws for most only when it reaches them, and never reaches one whose argument is an error:
// IFERROR(1/0,"x") would come back #DIV/0!. So each function is tried once on its own, with no
// arguments, which a missing one refuses alone; the answer holds for the life of the program.
bool Implemented(formula_function_t function) {
  static std::mutex mutex;
  static std::map<formula_function_t, bool> known;
  const std::lock_guard lock(mutex);
  const auto found = known.find(function);
  if (found != known.end()) return found->second;
  ixion::model_context context;
  context.append_sheet("Sheet1");
  const auto resolver =
      ixion::formula_name_resolver::get(ixion::formula_name_resolver_t::excel_a1, &context);
  const ixion::abs_address_t place(0, 0, 0);
  bool implemented = true;
  try {
    const std::string call = std::string(ixion::get_formula_function_name(function)) + "()";
    context.set_formula_cell(place, ixion::parse_formula_string(context, place, *resolver, call));
    context.get_formula_cell(place)->interpret(context, place);
  } catch (const ixion::not_implemented_error&) {
    implemented = false;
  } catch (const std::exception&) {
    // It refused the missing arguments: it is there.
  }
  known.emplace(function, implemented);
  return implemented;
}

bool IsArithmetic(fopcode_t op) {
  return op == fopcode_t::fop_plus || op == fopcode_t::fop_minus || op == fopcode_t::fop_multiply ||
         op == fopcode_t::fop_divide || op == fopcode_t::fop_exponent;
}

bool IsComparison(fopcode_t op) {
  return op == fopcode_t::fop_equal || op == fopcode_t::fop_not_equal ||
         op == fopcode_t::fop_less || op == fopcode_t::fop_greater ||
         op == fopcode_t::fop_less_equal || op == fopcode_t::fop_greater_equal;
}

// The library turns a number into text with six significant digits, applications with fifteen:
// the two agree only where both spell the number alike.
bool JoinsLikeApplications(double number) {
  char library[32];
  char application[32];
  std::snprintf(library, sizeof library, "%.6g", number);
  std::snprintf(application, sizeof application, "%.15g", number);
  return std::string_view(library) == application;
}

std::optional<formula_error_t> LibraryError(std::string_view spelling) {
  if (spelling == "#DIV/0!") return formula_error_t::division_by_zero;
  if (spelling == "#REF!") return formula_error_t::ref_result_not_available;
  if (spelling == "#NAME?") return formula_error_t::name_not_found;
  if (spelling == "#NULL!") return formula_error_t::no_range_intersection;
  if (spelling == "#VALUE!") return formula_error_t::invalid_value_type;
  return std::nullopt;
}

std::uint64_t Key(std::size_t sheet, std::uint32_t row, std::uint32_t column) {
  return (std::uint64_t{sheet} << 40) | (std::uint64_t{row} << 16) | column;
}

// What a formula needs checked once calculated; kept only for the few formulas that have any.
struct Traits {
  bool boolean_result = false;
  bool single_reference = false;  // the formula is one cell's reference: it shows that value
  bool joins_text = false;
  std::vector<ixion::abs_range_t> reads;  // when joining texts: the numbers it may join
};

}  // namespace

struct FormulaModel::Impl {
  // A column's formula last read, whose tokens the same formula copied further down shares.
  struct Recent {
    std::uint32_t row = 0;
    std::string text;
    ixion::formula_tokens_store_ptr_t tokens;
  };

  ixion::model_context context{ixion::rc_size_t{kMaxRows, kMaxColumns}};
  std::unique_ptr<ixion::formula_name_resolver> resolver;
  std::unordered_map<std::uint64_t, Traits> traits;
  std::unordered_map<std::uint32_t, Recent> recent;  // by column

  // The formula's tokens; nullptr when the library cannot read it. The library keeps references
  // relative to their cell, so "E3*G3" in row 3 has the tokens of "E2*G2" in row 2: moving the
  // text of the formula above to compare costs a tenth of reading it again, which for a column
  // of a million formulas is most of the calculation's time.
  ixion::formula_tokens_store_ptr_t Tokens(const ixion::abs_address_t& place, std::uint32_t column,
                                           std::string_view text) {
    Recent& last = recent[column];
    const auto row = static_cast<std::uint32_t>(place.row) + 1;
    if (last.tokens && last.row < row &&
        ShiftFormula(last.text, std::int64_t{row} - last.row, 0) == text) {
      last.row = row;
      last.text.assign(text);
      return last.tokens;
    }
    ixion::formula_tokens_store_ptr_t tokens = ixion::formula_tokens_store::create();
    try {
      tokens->get() = ixion::parse_formula_string(context, place, *resolver, text);
    } catch (const std::exception&) {
      return nullptr;
    }
    last = Recent{row, std::string(text), tokens};
    return tokens;
  }

  bool JoinedNumbersAgree(const Traits& traits) const {
    for (const ixion::abs_range_t& range : traits.reads) {
      for (ixion::row_t row = range.first.row; row <= range.last.row; ++row) {
        for (ixion::col_t column = range.first.column; column <= range.last.column; ++column) {
          const ixion::abs_address_t place(range.first.sheet, row, column);
          const ixion::celltype_t type = context.get_celltype(place);
          if (type == ixion::celltype_t::boolean) return false;
          const bool number =
              type == ixion::celltype_t::numeric ||
              (type == ixion::celltype_t::formula && context.get_formula_result(place).get_type() ==
                                                         ixion::formula_result::result_type::value);
          if (number && !JoinsLikeApplications(context.get_numeric_value(place))) return false;
        }
      }
    }
    return true;
  }
};

FormulaModel::FormulaModel(const std::vector<std::string>& sheet_names)
    : impl_(std::make_unique<Impl>()) {
  for (const std::string& name : sheet_names) impl_->context.append_sheet(name);
  impl_->resolver =
      ixion::formula_name_resolver::get(ixion::formula_name_resolver_t::excel_a1, &impl_->context);
}

FormulaModel::~FormulaModel() = default;

FormulaModel::Reading FormulaModel::AddFormula(std::size_t sheet, std::uint32_t row,
                                               std::uint32_t column, std::string_view text,
                                               std::vector<FormulaReference>& references) {
  const ixion::abs_address_t place(static_cast<ixion::sheet_t>(sheet),
                                   static_cast<ixion::row_t>(row - 1),
                                   static_cast<ixion::col_t>(column - 1));
  const ixion::formula_tokens_store_ptr_t store = impl_->Tokens(place, column, text);
  if (!store) {
    // What fails to parse is, as a rule, a sheet or workbook the name resolver does not know.
    return text.find_first_of("![") != std::string_view::npos ? Reading::kUnknownReference
                                                              : Reading::kUnsupported;
  }
  const ixion::formula_tokens_t& tokens = store->get();
  Traits traits;
  bool calls_other_functions = false;
  bool arithmetic = false;
  int depth = 0;
  const std::size_t first_reference = references.size();
  const auto refuse = [&](Reading reading) {
    references.resize(first_reference);
    return reading;
  };
  for (const auto& token : tokens) {
    const fopcode_t op = token->get_opcode();
    if (op == fopcode_t::fop_open) ++depth;
    if (op == fopcode_t::fop_close) --depth;
    if (IsArithmetic(op)) arithmetic = true;
    if (IsComparison(op) && depth == 0) traits.boolean_result = true;
    if (op == fopcode_t::fop_concat) traits.joins_text = true;
    if (op == fopcode_t::fop_value && !JoinsLikeApplications(token->get_value())) {
      arithmetic = true;
    }
    if (op == fopcode_t::fop_function) {
      const auto function = static_cast<formula_function_t>(token->get_uint32());
      if (function == formula_function_t::func_unknown || ComputedOtherwise(function) ||
          !Implemented(function)) {
        return refuse(Reading::kUnsupported);
      }
      if (function == formula_function_t::func_concatenate) {
        traits.joins_text = true;
      } else {
        calls_other_functions = true;
      }
    }
    ixion::abs_range_t read(ixion::abs_range_t::invalid);
    if (op == fopcode_t::fop_single_ref) {
      read = ixion::abs_range_t(token->get_single_ref().to_abs(place));
    } else if (op == fopcode_t::fop_range_ref) {
      read = token->get_range_ref().to_abs(place);
      if (read.all_rows() || read.all_columns()) return refuse(Reading::kUnsupported);
      read.reorder();
    } else if (op == fopcode_t::fop_unknown || op == fopcode_t::fop_error ||
               op == fopcode_t::fop_table_ref || op == fopcode_t::fop_named_expression) {
      return refuse(Reading::kUnsupported);
    } else {
      continue;
    }
    if (!read.valid() || read.first.sheet < 0) return refuse(Reading::kUnknownReference);
    references.push_back(
        FormulaReference{static_cast<std::size_t>(read.first.sheet),
                         CellRange{static_cast<std::uint32_t>(read.first.row) + 1,
                                   static_cast<std::uint32_t>(read.last.row) + 1,
                                   static_cast<std::uint32_t>(read.first.column) + 1,
                                   static_cast<std::uint32_t>(read.last.column) + 1}});
    traits.reads.push_back(read);
  }
  if (traits.joins_text && (arithmetic || calls_other_functions)) {
    return refuse(Reading::kUnsupported);
  }
  // The library reads a logical value as a number; a formula that only names the cell shows it
  // as the logical value it is.
  traits.single_reference =
      tokens.size() == 1 && tokens.front()->get_opcode() == fopcode_t::fop_single_ref;
  if (!traits.joins_text && !traits.single_reference) traits.reads.clear();
  if (traits.boolean_result || traits.joins_text || traits.single_reference) {
    impl_->traits[Key(sheet, row, column)] = std::move(traits);
  }
  impl_->context.set_formula_cell(place, store);
  return Reading::kReady;
}

bool FormulaModel::SetValue(std::size_t sheet, std::uint32_t row, std::uint32_t column,
                            const FormulaValue& value) {
  const ixion::abs_address_t place(static_cast<ixion::sheet_t>(sheet),
                                   static_cast<ixion::row_t>(row - 1),
                                   static_cast<ixion::col_t>(column - 1));
  switch (value.type) {
    case CellType::kNumber:
      impl_->context.set_numeric_cell(place, value.number);
      return true;
    case CellType::kText:
      impl_->context.set_string_cell(place, value.text);
      return true;
    case CellType::kBoolean:
      impl_->context.set_boolean_cell(place, value.boolean);
      return true;
    case CellType::kError: {
      const std::optional<formula_error_t> error = LibraryError(value.text);
      if (!error) return false;
      impl_->context.set_formula_cell(place, ixion::formula_tokens_store::create(),
                                      ixion::formula_result(*error));
      return true;
    }
    case CellType::kBlank:
      break;
  }
  return true;
}

std::optional<FormulaValue> FormulaModel::Calculate(std::size_t sheet, std::uint32_t row,
                                                    std::uint32_t column) {
  const ixion::abs_address_t place(static_cast<ixion::sheet_t>(sheet),
                                   static_cast<ixion::row_t>(row - 1),
                                   static_cast<ixion::col_t>(column - 1));
  ixion::formula_cell* cell = impl_->context.get_formula_cell(place);
  if (cell == nullptr) return std::nullopt;
  ixion::formula_result result;
  try {
    // The library throws for functions it lacks and for argument counts it does not take.
    cell->interpret(impl_->context, place);
    result = cell->get_result_cache(ixion::formula_result_wait_policy_t::throw_exception);
  } catch (const std::exception&) {
    cell->set_result_cache(ixion::formula_result(formula_error_t::name_not_found));
    return std::nullopt;
  }
  const auto found = impl_->traits.find(Key(sheet, row, column));
  const Traits* traits = found == impl_->traits.end() ? nullptr : &found->second;
  FormulaValue value;
  switch (result.get_type()) {
    case ixion::formula_result::result_type::value:
      if (!std::isfinite(result.get_value())) return std::nullopt;
      value.number = result.get_value();
      value.type = CellType::kNumber;
      if (traits != nullptr && traits->single_reference &&
          impl_->context.get_celltype(traits->reads.front().first) == ixion::celltype_t::boolean) {
        value.type = CellType::kBoolean;
        value.boolean = value.number != 0;
      }
      if (traits != nullptr && traits->boolean_result) {
        value.type = CellType::kBoolean;
        value.boolean = value.number != 0;
      }
      return value;
    case ixion::formula_result::result_type::string:
      if (traits != nullptr && traits->joins_text && !impl_->JoinedNumbersAgree(*traits)) {
        return std::nullopt;
      }
      value.type = CellType::kText;
      value.text = result.get_string();
      return value;
    case ixion::formula_result::result_type::error:
      if (result.get_error() != formula_error_t::division_by_zero) return std::nullopt;
      value.type = CellType::kError;
      value.text = "#DIV/0!";
      return value;
    default:
      return std::nullopt;
  }
}

void FormulaModel::SetResult(std::size_t sheet, std::uint32_t row, std::uint32_t column,
                             const FormulaValue& value) {
  const ixion::abs_address_t place(static_cast<ixion::sheet_t>(sheet),
                                   static_cast<ixion::row_t>(row - 1),
                                   static_cast<ixion::col_t>(column - 1));
  ixion::formula_cell* cell = impl_->context.get_formula_cell(place);
  if (cell == nullptr) return;
  switch (value.type) {
    case CellType::kNumber:
      cell->set_result_cache(ixion::formula_result(value.number));
      break;
    case CellType::kBoolean:
      cell->set_result_cache(ixion::formula_result(value.boolean ? 1.0 : 0.0));
      break;
    case CellType::kText:
      cell->set_result_cache(ixion::formula_result(value.text));
      break;
    case CellType::kError:
    case CellType::kBlank:
      cell->set_result_cache(ixion::formula_result(
          LibraryError(value.text).value_or(formula_error_t::name_not_found)));
      break;
  }
}

}  // namespace tavrio::automation::engine
