// Recordsets: the static snapshot, walking it, reading fields, changing a
// row, filtering, and the object model's own errors.
#include "EngineFixture.h"

namespace jet::testing {
namespace {

class Recordsets : public EngineTest {
 protected:
  Recordsets() {
    Run("CREATE TABLE event (id COUNTER PRIMARY KEY, patientid LONG, date_occurred DATE, notes TEXT(10), "
        "fee CURRENCY)");
    Run("insert into event (patientid, date_occurred, notes, fee) values (4, #3/5/2014#, 'Alpha', 10)");
    Run("insert into event (patientid, date_occurred, notes) values (4, #3/5/2014 14:05:00#, 'beta')");
    Run("insert into event (patientid, date_occurred, notes) values (5, #3/6/2014#, null)");
  }
};

TEST_F(Recordsets, ASnapshotHoldsTheRowsOfItsOpeningAndReadsTypedFields) {
  Recordset rs, none;
  rs.Open("select id, Date_Occurred as happened, notes, fee from event where patientid = 4 order by id desc", db_,
          CursorType::Static, LockType::ReadOnly);
  Run("insert into event (patientid) values (4)");
  Run("update event set notes = 'changed'");
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.FieldName(1), "happened");
  EXPECT_EQ(rs.Field("NoTeS"), Value::Text("beta"));
  EXPECT_EQ(rs.FieldAt(1), Value::Date(DateTime{2014, 3, 5, 14, 5, 0}));
  rs.MoveNext();
  EXPECT_EQ(rs.Field("fee"), Value::Money(Currency{100000}));
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEOF());
  rs.MoveFirst();
  EXPECT_EQ(rs.Field("id"), Value::Long(2));
  none.Open("select * from event where patientid = 99", db_);
  EXPECT_TRUE(none.IsEOF());
  none.Close();
  // A statement that returns no rows runs and leaves the recordset closed.
  none.Open("delete from event where id = 3", db_);
  EXPECT_EQ(none.State(), ObjectState::Closed);
  EXPECT_EQ(Count("event where id = 3"), Value::Long(0));
}

TEST_F(Recordsets, OnlyAnUpdatableRecordsetTakesChangesAndUpdateWritesThem) {
  Recordset rs, readOnly, aggregate;
  rs.Open("select * from event where notes is not null", db_, CursorType::Static, LockType::Optimistic);
  rs.SetField("notes", Value::Text("gamma"));
  rs.Update();
  rs.MoveNext();
  rs.SetField("fee", Value::Double(2.5));
  rs.MoveNext();  // leaving an edited row writes it
  EXPECT_EQ(Scalar("select notes & fee from event where id = 1"), Value::Text("gamma10"));
  EXPECT_EQ(Scalar("select fee from event where id = 2"), Value::Money(Currency{25000}));
  rs.MoveFirst();
  EXPECT_EQ(rs.Field("notes"), Value::Text("gamma"));
  // A value the rules refuse fails through the collection and changes nothing.
  rs.SetField("notes", Value::Text("far too long"));
  EXPECT_EQ(EngineError([&] { rs.Update(); }).number(), kFail);
  EXPECT_EQ(SqlState(), "3163");
  EXPECT_EQ(Scalar("select notes from event where id = 1"), Value::Text("gamma"));
  readOnly.Open("select * from event", db_, CursorType::Static, LockType::ReadOnly);
  EXPECT_EQ(ObjectModelError([&] { readOnly.SetField("notes", Value::Text("x")); }).number(), -2146825037);
  aggregate.Open("select max(id) as maxid from event", db_, CursorType::Static, LockType::Optimistic);
  EXPECT_EQ(ObjectModelError([&] { aggregate.SetField("maxid", Value::Long(1)); }).number(), -2146825037);
}

TEST_F(Recordsets, AFilterShowsTheMatchingRowsUntilCleared) {
  Recordset rs;
  rs.Open("select id, date_occurred, patientid, notes from event", db_, CursorType::Static, LockType::Optimistic);
  rs.MoveNext();
  for (const auto& [criteria, count] : std::vector<std::pair<std::string, int>>{
           {"Date_Occurred = 3/5/2014", 1}, {"patientid = 4 and notes = 'ALPHA' or id = 3", 2}, {"patientid = 7", 0}}) {
    rs.SetFilter(criteria);
    EXPECT_EQ(rs.RecordCount(), count) << criteria;
  }
  EXPECT_TRUE(rs.IsEOF());
  rs.SetFilter("");
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs.Field("id"), Value::Long(1));
  // A changed row is filtered by its new values.
  rs.SetField("patientid", Value::Long(7));
  rs.Update();
  rs.SetFilter("patientid = 7");
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(ObjectModelError([&] { rs.SetFilter("date_occurred = "); }).number(), -2146825287);
  EXPECT_EQ(ObjectModelError([&] { rs.SetFilter("nosuch = 1"); }).number(), -2146825023);
}

// A result small enough is held in memory; a large one is read from a
// snapshot of the file. Both walk the rows and values of their opening,
// whatever the same connection changes meanwhile, as the event linking
// does to the table it walks.
class SmallAndLargeResults : public EngineTest, public ::testing::WithParamInterface<int> {};

TEST_P(SmallAndLargeResults, ChangesAfterOpeningLeaveTheWalkAsItWas) {
  const int rows = GetParam();  // even
  Run("CREATE TABLE claim (id COUNTER PRIMARY KEY, k LONG, event_id LONG, pad TEXT(250))");
  for (int i = 1; i <= rows; ++i)
    Run("insert into claim (k, pad) values (" + std::to_string(i) + ", '" + std::string(250, 'p') + "')");
  Recordset rs;
  rs.Open("select * from claim where event_id is null", db_, CursorType::Static, LockType::Optimistic);
  Run("delete from claim where id = 1");
  Run("insert into claim (k, pad) values (0, 'added')");
  int walked = 0;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    const int id = rs.Field("id").AsLong();
    ASSERT_EQ(id, ++walked);
    EXPECT_EQ(rs.Field("K"), Value::Long(id));
    ASSERT_TRUE(rs.Field("event_id").IsNull()) << id;  // even after the statement ahead of the walk
    if (id == 1) continue;
    if (id % 2 == 1) {
      Run("update claim set event_id = -1 where id = " + std::to_string(id + 1));
    } else {
      rs.SetField("event_id", Value::Long(id));
      rs.Update();
    }
  }
  EXPECT_EQ(walked, rows);
  EXPECT_EQ(rs.RecordCount(), rows);
  EXPECT_EQ(Count("claim where event_id = id"), Value::Long(rows / 2));
  EXPECT_EQ(Count("claim"), Value::Long(rows));
  // Filtering and starting again walk the same snapshot.
  rs.SetFilter("k > " + std::to_string(rows - 2) + " or k = 1");
  EXPECT_EQ(rs.RecordCount(), 3);
  rs.MoveNext();
  EXPECT_EQ(rs.Field("k"), Value::Long(rows - 1));
}

INSTANTIATE_TEST_SUITE_P(HeldAndFromTheFile, SmallAndLargeResults, ::testing::Values(4, 6000));

TEST_F(Recordsets, ObjectModelFailuresLeaveTheCollectionAlone) {
  Recordset rs;
  EXPECT_EQ(ObjectModelError([&] { rs.MoveNext(); }).number(), -2146824584);
  rs.Open("select * from event where id = 1", db_);
  EXPECT_EQ(ObjectModelError([&] { rs.Open("select * from event", db_); }).number(), -2146824583);
  EXPECT_EQ(ObjectModelError([&] { rs.Field("nosuch"); }).number(), -2146825023);
  EXPECT_EQ(ObjectModelError([&] { rs.FieldAt(9); }).number(), -2146825023);
  rs.MoveNext();
  EXPECT_EQ(ObjectModelError([&] { rs.Field("id"); }).number(), -2146825267);
  EXPECT_EQ(ObjectModelError([&] { rs.MoveNext(); }).number(), -2146825267);
  rs.Close();
  EXPECT_EQ(ObjectModelError([&] { rs.Close(); }).number(), -2146824584);
  rs.Open("select * from event", db_);  // closed, it opens again
  EXPECT_EQ(rs.RecordCount(), 3);
}

}  // namespace
}  // namespace jet::testing
