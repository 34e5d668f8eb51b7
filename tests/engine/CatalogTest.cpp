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
    Run("CREATE TABLE condition_url (ID COUNTER PRIMARY KEY, condition_id LONG not null, name "
        "TEXT(50) not null, link TEXT(200) not null)");
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

  std::string AppendFails(const std::string& table, const std::string& name, const std::string& column,
                          const std::string& relatedTable, const std::string& relatedColumn = "ID") {
    return EngineError([&] { AppendKey(table, name, column, relatedTable, relatedColumn); }).description();
  }

  Catalog catalog_;
};

TEST_F(CatalogUse, ZeroLengthTextFollowsTheColumnProperty) {
  Table& table = catalog_.Tables("condition_url");
  Property& name = table.Columns("name").Properties(kAllowZeroLength);
  Run("insert into Condition (patientid) values (1)");
  Run("insert into condition_url (condition_id, name, link) values (1, '', 'x')");
  EXPECT_EQ(name.GetValue(), Value::Boolean(true));
  // Rows holding a zero-length text keep the property as it was.
  EngineError([&] { name.SetValue(Value::Boolean(false)); });
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3315");
  EXPECT_EQ(name.GetValue(), Value::Boolean(true));
  Run("delete from condition_url");

  name.SetValue(Value::Boolean(false));
  table.Columns("LINK").Properties("jet oledb:allow zero length").SetValue(Value::Boolean(false));
  EXPECT_EQ(table.Columns("Name").Properties(kAllowZeroLength).GetValue(), Value::Boolean(false));
  EXPECT_EQ(Refused("insert into condition_url (condition_id, name, link) values (1, '', 'x')").description(),
            "Field 'condition_url.name' cannot be a zero-length string.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3315");
  Run("insert into condition_url (condition_id, name, link) values (1, 'a', 'x')");
  EXPECT_EQ(Refused("update condition_url set link = ''").description(),
            "Field 'condition_url.link' cannot be a zero-length string.");
  EXPECT_TRUE(RawRefuses("insert into condition_url (condition_id, name, link) values (1, 'b', '')"));
  // Refusing a zero-length text is not refusing Null.
  EXPECT_EQ(Refused("insert into condition_url (condition_id, name) values (1, 'a')").description(),
            "The field 'condition_url.link' cannot contain a Null value because the Required "
            "property for this field is set to True.  Enter a value in this field.");
  table.Columns("link").Properties(kAllowZeroLength).SetValue(Value::Boolean(true));
  Run("update condition_url set link = ''");
  EXPECT_EQ(catalog_.Tables("cms2012").Columns("CHARGES1").Properties(kAllowZeroLength).GetValue(),
            Value::Boolean(false));  // not a text column
}

TEST_F(CatalogUse, UnknownItemsAreObjectModelErrors) {
  EXPECT_EQ(ObjectModelError([&] { catalog_.Tables("nosuch"); }).number(), -2146825023);
  Table& table = catalog_.Tables("CMS2012");
  EXPECT_EQ(table.Name(), "cms2012");
  EXPECT_EQ(ObjectModelError([&] { table.Columns("nosuch"); }).number(), -2146825023);
  EXPECT_EQ(ObjectModelError([&] { table.Columns("ICDA").Properties("Nullable"); }).number(), -2146825023);
  Key key;
  key.AppendColumn("a");
  EXPECT_EQ(ObjectModelError([&] { key.Columns("b"); }).number(), -2146825023);
  EXPECT_EQ(ObjectModelError([&] { table.AppendKey(key); }).number(), -2146825287);
}

TEST_F(CatalogUse, ForeignKeysHoldInsideTheFile) {
  for (const char* table : {"Person (LastName) values ('Lee')", "event (patientid) values (1)",
                            "Condition (patientid) values (1)"})
    Run(std::string("insert into ") + table);
  AppendKey("condition_url", "Condition_Urls", "Condition_ID", "Condition");
  AppendKey("cms2012", "CMS_Person", "Client_ID", "Person");
  AppendKey("cms2012", "CMS_Event", "Event_ID", "Event");
  const auto keys = catalog_.Tables("cms2012").Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].name, "CMS_Person");
  EXPECT_EQ(keys[0].type, KeyType::Foreign);
  EXPECT_EQ(keys[0].relatedTable, "Person");
  EXPECT_EQ(keys[0].columns().at(0).Name(), "CLIENT_ID");
  EXPECT_EQ(keys[0].columns().at(0).RelatedColumn(), "ID");

  Run(ClaimInsert(1, 1));
  EXPECT_EQ(Refused(ClaimInsert(2, 1)).description(),
            "You cannot add or change a record because a related record is required in table 'Person'.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3201");
  EXPECT_NE(Refused(ClaimInsert(1, 9)).description().find("table 'event'"), std::string::npos);
  Refused("insert into condition_url (condition_id, name, link) values (5, 'a', 'b')");
  Refused("update cms2012 set client_id = 2");
  EXPECT_EQ(Refused("delete from Person where ID = 1").description(),
            "The record cannot be deleted or changed because table 'cms2012' includes related records.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3200");
  Refused("update event set id = 7 where id = 1");
  EXPECT_EQ(Scalar("select count(*) from cms2012"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from Person"), Value::Long(1));
  EXPECT_TRUE(RawRefuses("delete from event"));
  EXPECT_TRUE(RawRefuses("update cms2012 set EVENT_ID = 5"));
  // A table in a relationship cannot be dropped; dropping the child ends it.
  EXPECT_NE(Refused("drop table Person").description().find("CMS_Person"), std::string::npos);
  // Parents without children go; children go freely.
  Run("insert into Person (LastName) values ('Kim')");
  Run("delete from Person where ID = 2");
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
  AppendKey("cms2012", "CMS_Person", "Client_ID", "Person");
  EXPECT_EQ(AppendFails("cms2012", "cms_person", "Event_ID", "Event"), "Object 'cms_person' already exists.");
  EXPECT_NE(AppendFails("cms2012", "K1", "Event_ID", "NoTable").find("input table or query 'NoTable'"),
            std::string::npos);
  EXPECT_EQ(AppendFails("cms2012", "K2", "NoColumn", "Event"), "Field 'NoColumn' not found in table 'cms2012'.");
  EXPECT_EQ(AppendFails("cms2012", "K3", "Event_ID", "Event", "patientid"),
            "The specified fields are not uniquely indexed in table 'event'.");
  EXPECT_EQ(AppendFails("cms2012", "K4", "PATIENT_LNAME", "Event"),
            "Relationship must be on the same number of fields with the same data types.");
  Run("insert into condition_url (condition_id, name, link) values (5, 'a', 'b')");
  EXPECT_EQ(AppendFails("condition_url", "Condition_Urls", "Condition_ID", "Condition"),
            "Cannot create the relationship: existing data in table 'condition_url' violates "
            "referential integrity rules with related table 'Condition'.");
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
  EXPECT_EQ(Scalar("select count(*) from event where patientid = 4"), Value::Long(1));
  // A raw client sees a plain index of the storage library.
  db_.MakeDurable();
  EXPECT_EQ(RawStored("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'event_patientid'"),
            "integer:1");
  EXPECT_EQ(EngineError([&] { events.AppendIndex("EVENT_PATIENTID", "id"); }).description(),
            "Object 'EVENT_PATIENTID' already exists.");
  EXPECT_EQ(EngineError([&] { events.AppendIndex("other", "nocolumn"); }).description(),
            "Field 'nocolumn' not found in table 'event'.");
}

}  // namespace
}  // namespace jet::testing
