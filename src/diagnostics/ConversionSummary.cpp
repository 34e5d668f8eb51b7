#include "diagnostics/ConversionSummary.h"

#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include <fmt/format.h>

#include "diagnostics/ErrorInfo.h"
#include "diagnostics/FrontEnd.h"
#include "diagnostics/modError.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "text/Case.h"
#include "os/Env.h"

namespace calmora {
namespace {

constexpr char kLogPrefix[] = "conversion_";
constexpr char kSummaryPrefix[] = "conversion-summary_";

// The open connection of the run, or null.
jet::Connection* OpenConnection() {
  jet::Connection* connection = CurrentRun().DbConnection.get();
  return connection != nullptr && connection->IsOpen() ? connection : nullptr;
}

// Runs a check; a failure leaves its result as it was and the connection's
// collection empty, so that no later report dumps it as its own.
template <typename Check>
void Quietly(jet::Connection& connection, Check check) {
  try {
    check();
  } catch (...) {
    connection.errors().Clear();
  }
}

std::int64_t Difference(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

std::int64_t Refused(const RowTally& tally) {
  return static_cast<std::int64_t>(tally.refusedKeys.size());
}

const TableFigures* Find(const SummaryFigures& figures, const std::string& table) {
  for (const TableFigures& t : figures.tables)
    if (text::EqualsUpperCased(t.table, table)) return &t;
  return nullptr;
}

std::int64_t Before(const SummaryFigures& f, const char* table) {
  const TableFigures* t = Find(f, table);
  return t != nullptr ? t->before : 0;
}
std::int64_t After(const SummaryFigures& f, const char* table) {
  const TableFigures* t = Find(f, table);
  return t != nullptr ? t->after : 0;
}

// "3: conv_hcfa_info.hcfa_id 17, 20, 31", or "0".
std::string RefusedList(const RowTally& tally, const char* keyColumn) {
  if (tally.refusedKeys.empty()) return "0";
  return fmt::format("{}: {} {}", tally.refusedKeys.size(), keyColumn,
                     fmt::join(tally.refusedKeys, ", "));
}

}  // namespace

void TakeRowCountsBefore() {
  Reconciliation& r = CurrentRun().reconciliation;
  r = Reconciliation{};
  r.upgradeReached = true;
  jet::Connection* connection = OpenConnection();
  if (connection == nullptr) return;
  Quietly(*connection, [&] {
    for (const jet::TableRows& t : jet::CountRows(*connection))
      r.rowsBefore.emplace_back(t.table, t.rows);
  });
}

SummaryFigures GatherSummaryFigures() {
  SummaryFigures f;
  const RunState& run = CurrentRun();
  f.logFileName = run.log.LogFileName;
  f.steps = run.reconciliation;
  std::map<std::string, TableFigures> tables;
  for (const auto& [table, rows] : f.steps.rowsBefore) tables[table] = {table, rows, 0};
  if (jet::Connection* connection = OpenConnection()) {
    Quietly(*connection, [&] {
      for (const jet::TableRows& t : jet::CountRows(*connection)) {
        TableFigures& figures = tables[t.table];
        figures.table = t.table;
        figures.after = t.rows;
      }
    });
    Quietly(*connection, [&] {
      jet::Recordset rs;
      rs.Open("select count(*) as n from conv_hcfa_info where event_id is null", *connection);
      f.claimsWithoutEventAfter = rs.Field("n").AsLong();
    });
    Quietly(*connection, [&] { f.integrity = jet::IntegrityCheck(*connection); });
    Quietly(*connection, [&] {
      f.keys = jet::ForeignKeyCheck(*connection);
      f.keysChecked = true;
    });
  }
  for (auto& [name, figures] : tables) f.tables.push_back(figures);
  return f;
}

std::int64_t RowsNotAccountedFor(const SummaryFigures& f) {
  const Reconciliation& s = f.steps;
  const std::int64_t claims =
      Difference(After(f, "conv_hcfa_info"), s.claimCopy.written + Refused(s.claimCopy)) +
      Difference(After(f, "cms2012") - Before(f, "cms2012"), s.claimCopy.written);
  const std::int64_t codes = Difference(Before(f, "event"), s.diagnosisCodes.walked);
  const std::int64_t links =
      Difference(f.claimsWithoutEventAfter, Refused(s.eventLinking)) +
      Difference(After(f, "event") - Before(f, "event"), s.eventsCreated);
  return claims + codes + links;
}

std::string ClosingLine(const SummaryFigures& figures) {
  const std::int64_t n = RowsNotAccountedFor(figures);
  return n == 0 ? std::string(kEveryRowAccountedFor) : kRowsNotAccountedFor + std::to_string(n);
}

std::string SummaryText(const SummaryFigures& f) {
  const Reconciliation& s = f.steps;
  std::vector<std::string> lines{
      "Conversion summary for " + f.logFileName,
      "Counts and row keys only; no patient data.",
      "",
      fmt::format("{:<24}{:>12}{:>12}", "Rows per table", "before", "after"),
  };
  for (const TableFigures& t : f.tables)
    lines.push_back(fmt::format("  {:<22}{:>12}{:>12}", t.table, t.before, t.after));
  lines.insert(lines.end(), {
      "",
      fmt::format("Legacy claims read: {}", s.claimCopy.walked),
      fmt::format("Claims copied into cms2012: {}", s.claimCopy.written),
      "Claims refused: " + RefusedList(s.claimCopy, "conv_hcfa_info.hcfa_id"),
      "",
      fmt::format("Claims without an event: {}", s.eventLinking.walked),
      fmt::format("Claims linked to an event: {} ({} to a new one)", s.eventLinking.written,
                  s.linkedToNewEvent),
      fmt::format("Events created: {}", s.eventsCreated),
      "Claims left without an event: " + RefusedList(s.eventLinking, "conv_hcfa_info.hcfa_id"),
      "",
      fmt::format("Events read for diagnosis codes: {}", s.diagnosisCodes.walked),
      fmt::format("Events whose codes were written: {}", s.diagnosisCodes.written),
      "Events whose codes were refused: " + RefusedList(s.diagnosisCodes, "event.id"),
      "",
  });
  if (f.integrity.empty())
    lines.push_back("Integrity check: could not be run");
  else
    lines.push_back("Integrity check: " + fmt::format("{}", fmt::join(f.integrity, "; ")));
  if (!f.keysChecked) {
    lines.push_back("Foreign key check: could not be run");
  } else {
    std::int64_t orphans = 0;
    for (const jet::KeyCheck& k : f.keys) orphans += k.orphans;
    lines.push_back(orphans == 0 ? fmt::format("Foreign key check: ok ({} keys)", f.keys.size())
                                 : fmt::format("Foreign key check: {} rows without their parent",
                                               orphans));
    for (const jet::KeyCheck& k : f.keys)
      if (k.orphans > 0)
        lines.push_back(fmt::format("  {}: {} rows of {}.{} name no {}.{}", k.name, k.orphans,
                                    k.table, k.column, k.relatedTable, k.relatedColumn));
  }
  lines.push_back("");
  lines.push_back(ClosingLine(f));
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string SummaryFileName(const std::string& logFileName) {
  std::string stamp = logFileName;
  if (stamp.rfind(kLogPrefix, 0) == 0) stamp.erase(0, sizeof kLogPrefix - 1);
  return kSummaryPrefix + stamp;
}

std::string WriteConversionSummary() {
  const SummaryFigures figures = GatherSummaryFigures();
  const std::string closing = ClosingLine(figures);
  try {
    const std::filesystem::path file =
        std::filesystem::path(CurrentRun().LogFolder) / SummaryFileName(figures.logFileName);
    // Through the environment, as the log is: a full disk is said as such,
    // and the file is never inherited by the updater.
    std::unique_ptr<WritableFile> out;
    std::error_code ec = CurrentEnv().OpenForWriting(file.string(), out);
    if (!ec) ec = out->Append(SummaryText(figures));
    if (!ec) ec = out->Sync();
    if (out) {
      const std::error_code closed = out->Close();
      if (!ec) ec = closed;
    }
    if (ec) throw std::system_error(ec, "the summary could not be written");
  } catch (...) {
    HandleError("modSummary", "WriteConversionSummary", CaptureError(std::current_exception()));
  }
  ActiveFrontEnd().SummaryWritten(closing);
  return closing;
}

}  // namespace calmora
