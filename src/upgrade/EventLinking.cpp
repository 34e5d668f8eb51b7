// Every legacy claim without an event gets one: the patient's only event,
// the patient's event on the date of injury, or a new event of type 3.
#include "upgrade/EventLinking.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "diagnostics/ErrorInfo.h"
#include "jet/Catalog.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "state/RunState.h"
#include "upgrade/StepSupport.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {
namespace {

constexpr std::int32_t kTypeMismatch = 13;

// #date#, or null for a claim without a date of injury: such a claim's
// event is undated rather than failing the whole step.
std::string DateLiteral(const jet::Value& date) {
  return date.IsNull() ? "null" : "#" + date.ToText() + "#";
}

void Reopen(std::unique_ptr<jet::Recordset>& recordset, const std::string& sql) {
  if (!recordset) recordset = std::make_unique<jet::Recordset>();
  recordset->Open(sql, PracticeDatabase(), jet::CursorType::Static, jet::LockType::Optimistic);
}

// The id of the event just inserted: the highest id, since the engine
// numbers upward and nothing else writes to event meanwhile.
jet::Value NewEventId(std::unique_ptr<jet::Recordset>& maxId) {
  Reopen(maxId, "select max(id) as maxid from event");
  const jet::Value value = maxId->Field("maxid");
  maxId->Close();
  if (value.kind() == jet::Value::Kind::Long) return value;
  if (value.kind() == jet::Value::Kind::Double)
    return jet::Value::Long(static_cast<std::int32_t>(std::lround(value.AsDouble())));
  throw VbError(kTypeMismatch, "Type mismatch");
}

// Each claim looks up its patient's events; without an index on patientid
// every lookup reads the whole event table, and a large practice waits
// minutes. The index changes no row and no answer, so a failure to make it
// costs only time and is not reported.
void IndexEventsByPatient() {
  try {
    jet::Catalog catalog;
    catalog.SetActiveConnection(PracticeDatabase());
    jet::Table& events = catalog.Tables("event");
    if (!events.IsIndexed("patientid")) events.AppendIndex("event_patientid", "patientid");
  } catch (...) {
    PracticeDatabase().errors().Clear();
  }
}

void LinkClaim(jet::Recordset& claims, const jet::Value& eventId) {
  claims.SetField("event_id", eventId);
  claims.Update();
}

// The claim's patient's events that fit its date of injury; an undated
// claim fits the patient's undated events, so a patient's undated claims
// share one event as dated claims on one date do.
std::int64_t EventsOnInjuryDate(jet::Recordset& events, const jet::Value& injury) {
  events.SetFilter("date_occurred = " + (injury.IsNull() ? std::string("Null") : injury.ToText()));
  return events.RecordCount();
}

// After a refused claim: the patient's events are let go, so the next claim
// starts as every claim does. A recordset that cannot even be closed is
// released.
void LetGo(std::unique_ptr<jet::Recordset>& events) {
  try {
    if (events && events->State() == jet::ObjectState::Open) events->Close();
  } catch (...) {
    events.reset();
  }
}

}  // namespace

void COMFixNullEvent() {
  std::unique_ptr<jet::Recordset> claims, events, maxId;
  Reconciliation& tally = CurrentRun().reconciliation;
  try {
    Reopen(claims, "Select * from conv_hcfa_info where event_id is null");
    StepProgress progress(ProcedureOf(StepId::FixNullEvent), claims->RecordCount());
    RowRefusals refusals(ProcedureOf(StepId::FixNullEvent), "conv_hcfa_info.hcfa_id",
                                  tally.eventLinking.refusedKeys);
    if (!claims->IsEOF()) IndexEventsByPatient();
    while (!claims->IsEOF()) {
      // A claim the database refuses (one without a patient) stays without
      // an event and is reported; the next claim is linked as before.
      try {
        const jet::Value client = claims->Field("client_id");
        const jet::Value injury = claims->Field("date_of_injury");
        Reopen(events, "select id, date_occurred, patientid from event where patientid = " +
                           client.ToText());
        const std::int64_t n = events->RecordCount();
        const auto linkToNewEvent = [&](const std::string& insert) {
          PracticeDatabase().Execute(insert);
          ++tally.eventsCreated;
          LinkClaim(*claims, NewEventId(maxId));
          ++tally.linkedToNewEvent;
        };
        if (n == 0) {
          linkToNewEvent(
              "insert into event (patientid, date_occurred, event_typeid, icda, icdb, icdc, "
              "icdd, icde, icdf, icdg, icdh, icdi, icdj, icdk, icdl, responsible_party) values (" +
              client.ToText() + ", " + DateLiteral(injury) +
              ", 3, '', '', '', '', '', '', '', '', '', '', '', '', '')");
        } else if (n == 1) {
          PracticeDatabase().Execute("update conv_hcfa_info set event_id = " +
                                events->Field("id").ToText() +
                                " where hcfa_id = " + claims->Field("hcfa_id").ToText());
        } else if (EventsOnInjuryDate(*events, injury) == 0) {
          linkToNewEvent("insert into event (patientid, date_occurred, event_typeid) values (" +
                         client.ToText() + ", " + DateLiteral(injury) + ", 3)");
        } else {
          LinkClaim(*claims, events->Field("id"));
        }
        ++tally.eventLinking.written;
        events->SetFilter("");
        events->Close();
      } catch (...) {
        if (!refusals.Refuse(0, claims->Field("hcfa_id"))) throw;
        LetGo(events);
      }
      ++tally.eventLinking.walked;
      claims->MoveNext();
      progress.RowDone();
    }
    claims->Close();
  } catch (...) {
    ReportTrappedUnchanged(ProcedureOf(StepId::FixNullEvent));
  }
}

}  // namespace calmora
