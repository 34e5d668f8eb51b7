// The catalogue: the zero-length property of text columns, foreign keys and
// indexes appended to existing tables, as the schema steps use them.
#include "jet/Catalog.h"

#include "EngineFixture.h"

namespace jet::testing {
namespace {

class CatalogUse : public EngineTest {
 protected:
  CatalogUse() {
    Run("CREATE TABLE Person (ID COUNTER PRIMARY KEY, LastName TEXT(30))");
    Run("CREATE TABLE Condition (ID COUNTER PRIMARY KEY, patientid LONG)");
    Run("CREATE TABLE event (id COUNTER PRIMARY KEY, patientid LONG, date_occurred DATE)");
    Run("CREATE TABLE condition_url (ID COUNTER PRIMARY KEY, condition_id LONG not null, name TEXT(50) not null, "
        "link TEXT(200) not null)");
    Run(kCreateClaims);
    catalog_.SetActiveConnection(db_);
  }

  static constexpr char kCreateClaims[] =
      "CREATE TABLE cms2012 (CMS_ID COUNTER PRIMARY KEY, CLIENT_ID LONG not null, EVENT_ID LONG not null, "
      "PATIENT_LNAME TEXT(15) not null, CHARGES1 CURRENCY null)";
  static std::string ClaimInsert(int clientId, int eventId) {
    return "Insert into cms2012 (CLIENT_ID, EVENT_ID, PATIENT_LNAME) Values (" + std::to_string(clientId) + ", " +
           std::to_string(eventId) + ", 'X')";
  }

  // Appends a foreign key through its own catalogue, as the schema step does.
  void AppendKey(const std::string& table, const std::string& name, const std::string& column,
                 const std::string& relatedTable, const std::string& relatedColumn = "ID") {
    Catalog catalog;
    catalog.SetActiveConnection(db_);
    Key key;
    key.name = name;
    key.relatedTable = relatedTable;
    key.type = KeyType::Foreign;
    key.AppendColumn(column, DataTypeEnum::VarWChar, 0);
    key.Columns(column).SetRelatedColumn(relatedColumn);
    catalog.Tables(table).AppendKey(key);
  }

  Catalog catalog_;
};

TEST_F(CatalogUse, ZeroLengthTextFollowsTheColumnProperty) {
  Table& table = catalog_.Tables("condition_url");
  Property& name = table.Columns("name").Properties(kAllowZeroLength);
  Run("insert into condition_url (condition_id, name, link) values (1, '', 'x')");
  EXPECT_EQ(name.GetValue(), Value::Boolean(true));
  // Rows holding a zero-length text keep the property as it was.
  EXPECT_EQ(SqlState(EngineError([&] { name.SetValue(Value::Boolean(false)); })), "3315");
  EXPECT_EQ(name.GetValue(), Value::Boolean(true));
  Run("delete from condition_url");

  name.SetValue(Value::Boolean(false));
  table.Columns("LINK").Properties("jet oledb:allow zero length").SetValue(Value::Boolean(false));
  EXPECT_EQ(Refused("insert into condition_url (condition_id, name, link) values (1, '', 'x')").description(),
            "Field 'condition_url.name' cannot be a zero-length string.");
  Run("insert into condition_url (condition_id, name, link) values (1, 'a', 'x')");
  EXPECT_EQ(Refused("update condition_url set link = ''").description(),
            "Field 'condition_url.link' cannot be a zero-length string.");
  EXPECT_TRUE(RawRefuses("insert into condition_url (condition_id, name, link) values (1, 'b', '')"));
  // Refusing a zero-length text is not refusing Null.
  EXPECT_EQ(SqlState(Refused("insert into condition_url (condition_id, name) values (1, 'a')")), "3314");
  table.Columns("link").Properties(kAllowZeroLength).SetValue(Value::Boolean(true));
  Run("update condition_url set link = ''");
  EXPECT_EQ(catalog_.Tables("cms2012").Columns("CHARGES1").Properties(kAllowZeroLength).GetValue(),
            Value::Boolean(false));  // not a text column
}

TEST_F(CatalogUse, UnknownItemsAreObjectModelErrors) {
  Table& table = catalog_.Tables("CMS2012");
  EXPECT_EQ(table.Name(), "cms2012");
  Key key;
  key.AppendColumn("a");
  for (const auto& find : std::vector<std::function<void()>>{[&] { catalog_.Tables("nosuch"); },
                                                             [&] { table.Columns("nosuch"); },
                                                             [&] { table.Columns("ICDA").Properties("Nullable"); },
                                                             [&] { key.Columns("b"); }})
    EXPECT_EQ(ObjectModelError(find).number(), -2146825023);
  EXPECT_EQ(ObjectModelError([&] { table.AppendKey(key); }).number(), -2146825287);
}

TEST_F(CatalogUse, ForeignKeysHoldInsideTheFile) {
  for (const char* row : {"Person (LastName) values ('Lee')", "event (patientid) values (1)",
                          "Condition (patientid) values (1)"})
    Run(std::string("insert into ") + row);
  AppendKey("condition_url", "Condition_Urls", "Condition_ID", "Condition");
  AppendKey("cms2012", "CMS_Person", "Client_ID", "Person");
  AppendKey("cms2012", "CMS_Event", "Event_ID", "Event");
  const auto keys = catalog_.Tables("cms2012").Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].name + " " + keys[0].relatedTable + " " + keys[0].columns().at(0).Name() + " " +
                keys[0].columns().at(0).RelatedColumn(),
            "CMS_Person Person CLIENT_ID ID");
  EXPECT_EQ(keys[0].type, KeyType::Foreign);

  Run(ClaimInsert(1, 1));
  const std::string needsParent = "You cannot add or change a record because a related record is required in table ";
  const std::tuple<std::string, const char*, std::string> refused[] = {
      {ClaimInsert(2, 1), "3201", needsParent + "'Person'."}, {ClaimInsert(1, 9), "3201", needsParent + "'event'."},
      {"insert into condition_url (condition_id, name, link) values (5, 'a', 'b')", "3201", ""},
      {"update cms2012 set client_id = 2", "3201", ""}, {"update event set id = 7 where id = 1", "3200", ""},
      {"delete from Person where ID = 1", "3200",
       "The record cannot be deleted or changed because table 'cms2012' includes related records."},
  };
  for (const auto& [sql, sqlState, description] : refused) {
    const Error e = Refused(sql);
    if (!description.empty()) {
      EXPECT_EQ(e.description(), description) << sql;
    }
    EXPECT_EQ(SqlState(), sqlState) << sql;
  }
  EXPECT_EQ(Count("cms2012 where client_id = 1 and event_id = 1"), Value::Long(1));
  EXPECT_EQ(Count("Person"), Value::Long(1));
  EXPECT_TRUE(RawRefuses("delete from event"));
  EXPECT_TRUE(RawRefuses("update cms2012 set EVENT_ID = 5"));
  // A table in a relationship cannot be dropped; dropping the child ends it.
  EXPECT_NE(Refused("drop table Person").description().find("CMS_Person"), std::string::npos);
  Run("insert into Person (LastName) values ('Kim')");
  Run("delete from Person where ID = 2");  // a parent without children goes
  Run("delete from cms2012");
  Run("drop table cms2012");
  EXPECT_EQ(catalog_.Tables("condition_url").Keys().size(), 1u);
  Run("delete from Person");
  Run("drop table Person");
  Run(kCreateClaims);
  Catalog fresh;
  fresh.SetActiveConnection(db_);
  EXPECT_TRUE(fresh.Tables("cms2012").Keys().empty());
}

TEST_F(CatalogUse, AFailedAppendChangesNothing) {
  Run("insert into Person (LastName) values ('Lee')");
  Run("insert into condition_url (condition_id, name, link) values (5, 'a', 'b')");
  AppendKey("cms2012", "CMS_Person", "Client_ID", "Person");
  const struct {
    const char *table, *name, *column, *related, *relatedColumn, *description;
  } cases[] = {
      {"cms2012", "cms_person", "Event_ID", "Event", "ID", "Object 'cms_person' already exists."},
      {"cms2012", "K2", "NoColumn", "Event", "ID", "Field 'NoColumn' not found in table 'cms2012'."},
      {"cms2012", "K3", "Event_ID", "Event", "patientid",
       "The specified fields are not uniquely indexed in table 'event'."},
      {"cms2012", "K4", "PATIENT_LNAME", "Event", "ID",
       "Relationship must be on the same number of fields with the same data types."},
      {"condition_url", "Condition_Urls", "Condition_ID", "Condition", "ID",
       "Cannot create the relationship: existing data in table 'condition_url' violates referential integrity "
       "rules with related table 'Condition'."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EngineError([&] { AppendKey(c.table, c.name, c.column, c.related, c.relatedColumn); }).description(),
              c.description);
  }
  EXPECT_EQ(SqlState(EngineError([&] { AppendKey("cms2012", "K1", "Event_ID", "NoTable"); })), "3078");
  EXPECT_EQ(catalog_.Tables("cms2012").Keys().size(), 1u);
  EXPECT_TRUE(catalog_.Tables("condition_url").Keys().empty());
  // No rule of a failed key is left behind.
  Run("insert into condition_url (condition_id, name, link) values (6, 'a', 'b')");
  Run("insert into event (patientid) values (1)");
  Run(ClaimInsert(1, 1));
  Run("delete from event");
}

TEST_F(CatalogUse, AnIndexIsSeenByItsFirstColumnAndChangesNoAnswer) {
  Table& events = catalog_.Tables("event");
  EXPECT_TRUE(events.IsIndexed("ID"));  // the counter is the row id
  EXPECT_FALSE(events.IsIndexed("patientid"));
  Run("insert into event (patientid) values (4)");
  events.AppendIndex("event_patientid", "PatientID");
  EXPECT_TRUE(events.IsIndexed("patientid"));
  EXPECT_FALSE(events.IsIndexed("date_occurred"));
  EXPECT_EQ(Count("event where patientid = 4"), Value::Long(1));
  // A raw client sees a plain index of the storage library.
  EXPECT_EQ(RawStored("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'event_patientid'"),
            "integer:1");
  EXPECT_EQ(EngineError([&] { events.AppendIndex("EVENT_PATIENTID", "id"); }).description(),
            "Object 'EVENT_PATIENTID' already exists.");
  EXPECT_EQ(EngineError([&] { events.AppendIndex("other", "nocolumn"); }).description(),
            "Field 'nocolumn' not found in table 'event'.");
}

}  // namespace
}  // namespace jet::testing
