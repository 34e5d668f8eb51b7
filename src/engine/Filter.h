#pragma once
// Recordset filter criteria, parsed once and evaluated against each row.
//
// Grammar: clause { (AND | OR) clause }, evaluated strictly left to right
// with no precedence: "a OR b AND c" means "(a OR b) AND c". Parentheses are
// refused as malformed rather than given a meaning the reader may not expect.
//   clause   field op value
//   field    a name (letters, digits, _), or [any name] in brackets;
//            matched without regard to case by the caller's lookup
//   op       = <> < > <= >= LIKE   (LIKE and the joiners in any case)
//   value    number     12, -3.5, 1e3, $12.50
//            text       'it''s' or "say ""hi"""  (a doubled quote is one)
//            date       #3/5/2014#, #3/5/2014 14:05:00#, or bare: 3/5/2014,
//                       3/5/2014 14:05:00, 2014-03-05 (month always first)
//            True, False (as -1 and 0), Null
//
// Matching, per clause:
//   - `= Null` matches a NULL field and `<> Null` any other; Null with any
//     other operator is malformed. Otherwise a NULL field matches nothing.
//   - Numbers (Long, Double, Currency, Boolean as -1/0) compare numerically;
//     currency against a decimal literal compares exactly.
//   - Dates compare as dates; a text on either side that reads as a date
//     (ParseDate) is taken as that date.
//   - Texts compare without regard to case for every letter (simple case
//     folding, per character), by code point.
//   - LIKE takes a text pattern: * or % any run of characters, ? or _ one
//     character, case ignored; only text fields can be matched with LIKE.
//
// Failures raise jet::Error with source kObjectModelSource:
//   kFilterMalformed     when ParseFilter meets anything outside the grammar,
//                        including a blank criteria text and an operator with
//                        nothing after it ("date_occurred = ")
//   kFilterUnknownField  when the lookup knows no field of that name
//   kFilterTypeMismatch  when a field's value and the literal are of kinds
//                        that cannot be compared (a text with a number, ...)
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ErrorTable.h"
#include "jet/Value.h"

namespace jet {

// The numbers a filter raises, from the engine's one error table.
inline constexpr std::int32_t kFilterMalformed = SpecOf(ErrorCode::BadArguments).number;
inline constexpr std::int32_t kFilterUnknownField = SpecOf(ErrorCode::ItemNotFound).number;
inline constexpr std::int32_t kFilterTypeMismatch = SpecOf(ErrorCode::FilterWrongType).number;

class FilterExpression;

// Parses criteria text; never returns null.
std::shared_ptr<const FilterExpression> ParseFilter(std::string_view criteria);

// The field names the criteria mention, in order of appearance, without
// brackets; lets a caller check them before any row is read.
const std::vector<std::string>& FilterFieldNames(const FilterExpression& filter);

// The lookup returns the current row's value of a field, or nullopt when the
// field does not exist.
using FilterFieldLookup = std::function<std::optional<Value>(std::string_view field)>;

bool FilterMatches(const FilterExpression& filter, const FilterFieldLookup& fieldOf);

}  // namespace jet
