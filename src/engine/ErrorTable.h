#pragma once
// The one table of every error the engine and its object model raise.
//
// Each row: the kind used in code, the engine's own error number (reported
// as the SQL state, e.g. "3022"), the provider-style result number, where it
// comes from, the storage library's extended result code that typically
// accompanies it (0 when the engine detects the failure itself; the actual
// code of each occurrence goes into the entry's native error), and the
// description. Descriptions take table, column, key and file names as {0},
// {1}: never a value of a row.
//
// Provider results: 0x80004005 (-2147467259) generic failure, 0x80040E14
// (-2147217900) syntax and definition errors, 0x80040E37 (-2147217865) missing
// table, 0x80040E10 (-2147217904) missing value (unknown name), 0x80040E07
// (-2147217913) type mismatch. Object-model numbers (0x800A....) leave the
// connection's error collection alone.
#include <cstdint>

namespace jet {

enum class ErrorCode {
  // Statement text
  InvalidStatement,
  SyntaxInsert,
  SyntaxUpdate,
  SyntaxDelete,
  SyntaxSelect,
  SyntaxCreateTable,
  SyntaxAlterTable,
  SyntaxDropTable,
  SyntaxExpression,
  UndefinedFunction,
  NotAggregated,
  Unsupported,
  AggregateInWhere,
  ValueCountMismatch,
  // Names
  TableExists,
  FieldExists,
  ObjectExists,
  TableNotFound,
  UnknownInsertField,
  UnknownField,
  NoSuchField,
  // Values and rules
  TypeMismatch,
  Overflow,
  TooSmall,
  TooBig,
  NullNotAllowed,
  ZeroLength,
  Duplicate,
  RelatedRecordRequired,
  RelatedRecordsExist,
  NotUniquelyIndexed,
  ExistingDataViolates,
  RelationTypes,
  InRelationship,
  ExistingZeroLength,
  RequiredOnFilledTable,
  RecordDeleted,
  // The file
  ConnectionStringFormat,
  FileNotFound,
  FileEmpty,
  FileUnencrypted,
  WrongPasswordOrDamaged,
  CannotOpenFile,
  DatabaseExists,
  PasswordRequired,
  DiskFull,
  DiskError,
  Damaged,
  Locked,
  ReadOnly,
  ResourceExceeded,
  Unexpected,
  // Object model (collection left alone)
  ProviderNotFound,
  ItemNotFound,
  NoCurrentRecord,
  ObjectClosed,
  ObjectOpen,
  BadArguments,
  NotUpdatable,
  ConnectionUnusable,
  FilterWrongType,
};

struct ErrorSpec {
  ErrorCode code;
  int jetNumber;             // SQL state, as text
  std::int32_t number;       // what the caller sees
  bool objectModel;          // true: the error collection is left alone
  std::int32_t typicalNative;
  const char* description;
};

inline constexpr std::int32_t kFail = -2147467259;         // 0x80004005
inline constexpr std::int32_t kSyntax = -2147217900;       // 0x80040E14
inline constexpr std::int32_t kNoTable = -2147217865;      // 0x80040E37
inline constexpr std::int32_t kNoValue = -2147217904;      // 0x80040E10
inline constexpr std::int32_t kCantConvert = -2147217913;  // 0x80040E07

inline constexpr ErrorSpec kErrorTable[] = {
    {ErrorCode::InvalidStatement, 3129, kSyntax, false, 0,
     "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."},
    {ErrorCode::SyntaxInsert, 3134, kSyntax, false, 0, "Syntax error in INSERT INTO statement."},
    {ErrorCode::SyntaxUpdate, 3144, kSyntax, false, 0, "Syntax error in UPDATE statement."},
    {ErrorCode::SyntaxDelete, 3131, kSyntax, false, 0, "Syntax error in FROM clause."},
    {ErrorCode::SyntaxSelect, 3141, kSyntax, false, 0,
     "The SELECT statement includes a reserved word or an argument name that is misspelled or "
     "missing, or the punctuation is incorrect."},
    {ErrorCode::SyntaxCreateTable, 3290, kSyntax, false, 0,
     "Syntax error in CREATE TABLE statement."},
    {ErrorCode::SyntaxAlterTable, 3293, kSyntax, false, 0,
     "Syntax error in ALTER TABLE statement."},
    {ErrorCode::SyntaxDropTable, 3295, kSyntax, false, 0,
     "Syntax error in DROP TABLE or DROP INDEX."},
    // {0}: the expression, every literal shown as '?'.
    {ErrorCode::SyntaxExpression, 3075, kSyntax, false, 0,
     "Syntax error (missing operator) in query expression '{0}'."},
    {ErrorCode::UndefinedFunction, 3085, kSyntax, false, 0,
     "Undefined function '{0}' in expression."},
    {ErrorCode::NotAggregated, 3122, kSyntax, false, 0,
     "You tried to execute a query that does not include the specified expression '{0}' as part "
     "of an aggregate function."},
    {ErrorCode::Unsupported, 3251, kSyntax, false, 0,
     "Operation is not supported by this engine: {0}."},
    {ErrorCode::AggregateInWhere, 3096, kSyntax, false, 0,
     "Cannot have aggregate function in WHERE clause ({0})."},
    {ErrorCode::ValueCountMismatch, 3346, kFail, false, 0,
     "Number of query values and destination fields are not the same."},
    {ErrorCode::TableExists, 3010, kSyntax, false, 0, "Table '{0}' already exists."},
    {ErrorCode::FieldExists, 3380, kSyntax, false, 0,
     "Field '{0}' already exists in table '{1}'."},
    {ErrorCode::ObjectExists, 3012, kFail, false, 0, "Object '{0}' already exists."},
    {ErrorCode::TableNotFound, 3078, kNoTable, false, 0,
     "The database engine cannot find the input table or query '{0}'.  Make sure it exists and "
     "that its name is spelled correctly."},
    {ErrorCode::UnknownInsertField, 3127, kSyntax, false, 0,
     "The INSERT INTO statement contains the following unknown field name: '{0}'.  Make sure "
     "you have typed the name correctly, and try the operation again."},
    // A name in an expression that no column has (it may be a value written
    // without quotes, so it is not repeated).
    {ErrorCode::UnknownField, 3061, kNoValue, false, 0,
     "No value given for one or more required parameters."},
    {ErrorCode::NoSuchField, 3265, kFail, false, 0, "Field '{0}' not found in table '{1}'."},
    {ErrorCode::TypeMismatch, 3464, kCantConvert, false, 0,
     "Data type mismatch in criteria expression."},
    {ErrorCode::Overflow, 3349, kFail, false, 275, "Numeric field overflow."},
    {ErrorCode::TooSmall, 3163, kFail, false, 275,
     "The field '{0}.{1}' is too small to accept the amount of data you attempted to add.  Try "
     "inserting or pasting less data."},
    // A value beyond the storage library's own limit: no column to name.
    {ErrorCode::TooBig, 3163, kFail, false, 18,
     "The field is too small to accept the amount of data you attempted to add.  Try inserting "
     "or pasting less data."},
    {ErrorCode::NullNotAllowed, 3314, kFail, false, 1299,
     "The field '{0}.{1}' cannot contain a Null value because the Required property for this "
     "field is set to True.  Enter a value in this field."},
    {ErrorCode::ZeroLength, 3315, kFail, false, 1811,
     "Field '{0}.{1}' cannot be a zero-length string."},
    {ErrorCode::Duplicate, 3022, kFail, false, 1555,
     "The changes you requested to the table were not successful because they would create "
     "duplicate values in the index, primary key, or relationship.  Change the data in the "
     "field or fields that contain duplicate data, remove the index, or redefine the index to "
     "permit duplicate entries and try again."},
    {ErrorCode::RelatedRecordRequired, 3201, kFail, false, 1811,
     "You cannot add or change a record because a related record is required in table '{0}'."},
    {ErrorCode::RelatedRecordsExist, 3200, kFail, false, 1811,
     "The record cannot be deleted or changed because table '{0}' includes related records."},
    {ErrorCode::NotUniquelyIndexed, 3374, kFail, false, 0,
     "The specified fields are not uniquely indexed in table '{0}'."},
    {ErrorCode::ExistingDataViolates, 3379, kFail, false, 0,
     "Cannot create the relationship: existing data in table '{0}' violates referential "
     "integrity rules with related table '{1}'."},
    {ErrorCode::RelationTypes, 3368, kFail, false, 0,
     "Relationship must be on the same number of fields with the same data types."},
    {ErrorCode::InRelationship, 3281, kFail, false, 0,
     "Cannot delete table '{0}': it is used in relationship '{1}'."},
    {ErrorCode::ExistingZeroLength, 3315, kFail, false, 0,
     "Field '{0}.{1}' cannot be a zero-length string: rows of the table already hold one."},
    {ErrorCode::RequiredOnFilledTable, 3314, kFail, false, 0,
     "The field '{0}.{1}' cannot be added as required without a default value: the table "
     "already holds rows."},
    {ErrorCode::RecordDeleted, 3167, kFail, false, 0, "Record is deleted."},
    {ErrorCode::ConnectionStringFormat, 3001, -2147217805, false, 0,
     "Format of the initialization string is not valid: settings are Name=Value pairs ended by ';'."},
    {ErrorCode::FileNotFound, 3024, kFail, false, 0, "Could not find file '{0}'."},
    {ErrorCode::FileEmpty, 3343, kFail, false, 0,
     "Unrecognized database format '{0}'.  The file is empty."},
    {ErrorCode::FileUnencrypted, 3343, kFail, false, 0,
     "Unrecognized database format '{0}'.  The file is a SQLite database without a password; "
     "a practice database is always encrypted."},
    {ErrorCode::WrongPasswordOrDamaged, 3031, kFail, false, 26,
     "Not a valid password, or the database file is damaged: the engine cannot tell which."},
    {ErrorCode::CannotOpenFile, 3051, kFail, false, 0,
     "The database engine cannot open the file '{0}'.  It is already opened exclusively by "
     "another user, or you need permission to view its data."},
    {ErrorCode::DatabaseExists, 3204, kFail, false, 0, "Database '{0}' already exists."},
    {ErrorCode::PasswordRequired, 3031, kFail, false, 0,
     "Not a valid password: a new database needs one."},
    {ErrorCode::DiskFull, 3026, kFail, false, 13, "Not enough space on disk."},
    {ErrorCode::DiskError, 3043, kFail, false, 10, "Disk or network error."},
    {ErrorCode::Damaged, 3049, kFail, false, 11,
     "Cannot open database '{0}'.  It may not be a database that your application recognizes, "
     "or the file may be corrupt."},
    {ErrorCode::Locked, 3218, kFail, false, 5, "Could not update; currently locked."},
    {ErrorCode::ReadOnly, 3027, kFail, false, 8,
     "Cannot update.  Database or object is read-only."},
    {ErrorCode::ResourceExceeded, 3035, kFail, false, 7, "System resource exceeded."},
    // {0}: the storage library's own message (names only, never values).
    {ErrorCode::Unexpected, 3000, kFail, false, 1, "Unexpected failure in the database engine: {0}"},
    {ErrorCode::ProviderNotFound, 3706, -2146824582, true, 0,
     "Provider cannot be found. It may not be properly installed."},
    {ErrorCode::ItemNotFound, 3265, -2146825023, true, 0,
     "Item cannot be found in the collection corresponding to the requested name or ordinal."},
    {ErrorCode::NoCurrentRecord, 3021, -2146825267, true, 0,
     "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
     "requires a current record."},
    {ErrorCode::ObjectClosed, 3704, -2146824584, true, 0,
     "Operation is not allowed when the object is closed."},
    {ErrorCode::ObjectOpen, 3705, -2146824583, true, 0,
     "Operation is not allowed when the object is open."},
    {ErrorCode::BadArguments, 3001, -2146825287, true, 0,
     "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
     "another."},
    {ErrorCode::NotUpdatable, 3251, -2146825037, true, 0,
     "Current Recordset does not support updating. This may be a limitation of the provider, or "
     "of the selected locktype."},
    {ErrorCode::ConnectionUnusable, 3709, -2146824579, true, 0,
     "The connection cannot be used to perform this operation. It is either closed or invalid in "
     "this context."},
    // Raised by the recordset filter (Filter.h) when a field and a literal
    // cannot be compared.
    {ErrorCode::FilterWrongType, 3421, -2146824867, true, 0,
     "Application uses a value of the wrong type for the current operation."},
};

constexpr const ErrorSpec& SpecOf(ErrorCode code) {
  for (const auto& spec : kErrorTable) {
    if (spec.code == code) return spec;
  }
  return kErrorTable[0];  // unreachable: every code has a row (checked by a test)
}

}  // namespace jet
