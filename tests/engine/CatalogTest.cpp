// The catalogue: the zero-length property of text columns and foreign keys
// appended to existing tables, as the schema steps use them.
#include "engine/Catalog.h"

#include "EngineFixture.h"
#include "LegacyShape.h"
#include "RawClient.h"

namespace jet::testing {
namespace {

class CatalogUse : public EngineTest {
 protected:
  CatalogUse() {
    CreateLegacyTables(db_);
    Run(kCreateConditionUrl);
    Run(CreateCms2012());
    catalog_.SetActiveConnection(db_);
  }

  void AppendKey(const std::string& table, const std::string& name, const std::string& column,
                 const std::string& relatedTable, const std::string& relatedColumn) {
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

  // The object-model error of an action; the collection must stay as it was.
  Error ObjectModelError(const std::function<void()>& action) {
    db_.errors().Replace({ErrorEntry{1, "earlier", kEngineSource, "1", 0}});
    try {
      action();
    } catch (const Error& e) {
      EXPECT_EQ(e.source(), kObjectModelSource);
      EXPECT_EQ(db_.errors().Count(), 1u);
      EXPECT_EQ(db_.errors().Item(0).description, "earlier");
      return e;
    }
    ADD_FAILURE() << "no error";
    return Error(0, "", "");
  }

  void AddAllKeys() {
    AppendKey("condition_url", "Condition_Urls", "Condition_ID", "Condition", "ID");
    AppendKey("cms2012", "CMS_Person", "Client_ID", "Person", "ID");
    AppendKey("cms2012", "CMS_Event", "Event_ID", "Event", "ID");
  }

  Catalog catalog_;
};

TEST_F(CatalogUse, ZeroLengthTextFollowsTheColumnProperty) {
  Table& table = catalog_.Tables("condition_url");
  Run("insert into Condition (patientid) values (1)");
  Run("insert into condition_url (condition_id, name, link) values (1, '', 'x')");
  EXPECT_EQ(table.Columns("name").Properties(kAllowZeroLength).GetValue(), Value::Boolean(true));
  Run("delete from condition_url");
  table.Columns("name").Properties(kAllowZeroLength).SetValue(Value::Boolean(false));
  table.Columns("LINK").Properties("jet oledb:allow zero length").SetValue(Value::Boolean(false));
  EXPECT_EQ(table.Columns("Name").Properties(kAllowZeroLength).GetValue(), Value::Boolean(false));
  EXPECT_EQ(Refused("insert into condition_url (condition_id, name, link) values (1, '', 'x')")
                .description(),
            "Field 'condition_url.name' cannot be a zero-length string.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3315");
  Run("insert into condition_url (condition_id, name, link) values (1, 'a', 'x')");
  EXPECT_EQ(Refused("update condition_url set link = ''").description(),
            "Field 'condition_url.link' cannot be a zero-length string.");
  {
    RawClient raw(path_, kPassword);
    EXPECT_NE(raw.Exec("insert into condition_url (condition_id, name, link) values (1, 'b', '')"), "");
  }
  // Refusing a zero-length text is not refusing Null.
  EXPECT_EQ(Refused("insert into condition_url (condition_id, name) values (1, 'a')").description(),
            "The field 'condition_url.link' cannot contain a Null value because the Required "
            "property for this field is set to True.  Enter a value in this field.");
  table.Columns("link").Properties(kAllowZeroLength).SetValue(Value::Boolean(true));
  Run("update condition_url set link = ''");
}

TEST_F(CatalogUse, EveryTextColumnOfTheClaimTableAcceptsZeroLengthText) {
  Table& table = catalog_.Tables("cms2012");
  int textColumns = 0;
  for (const auto& column : Cms2012Columns()) {
    if (std::string(column.type).rfind("TEXT", 0) != 0) continue;
    table.Columns(column.name).Properties(kAllowZeroLength).SetValue(Value::Boolean(true));
    EXPECT_EQ(table.Columns(column.name).Properties(kAllowZeroLength).GetValue(), Value::Boolean(true));
    ++textColumns;
  }
  EXPECT_EQ(textColumns, 160);
  EXPECT_EQ(table.Columns("CHARGES1").Properties(kAllowZeroLength).GetValue(), Value::Boolean(false));
}

TEST_F(CatalogUse, RefusingZeroLengthTextWhenRowsHoldOneChangesNothing) {
  Run("insert into Condition (patientid) values (1)");
  Run("insert into condition_url (condition_id, name, link) values (1, '', 'x')");
  Property& property = catalog_.Tables("condition_url").Columns("name").Properties(kAllowZeroLength);
  EXPECT_THROW(property.SetValue(Value::Boolean(false)), Error);
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3315");
  EXPECT_EQ(property.GetValue(), Value::Boolean(true));
  Run("insert into condition_url (condition_id, name, link) values (1, '', 'y')");
}

TEST_F(CatalogUse, UnknownItemsAreObjectModelErrors) {
  EXPECT_EQ(ObjectModelError([&] { catalog_.Tables("nosuch"); }).number(), -2146825023);
  Table& table = catalog_.Tables("CMS2012");
  EXPECT_EQ(table.Name(), "cms2012");
  EXPECT_EQ(ObjectModelError([&] { table.Columns("nosuch"); }).number(), -2146825023);
  EXPECT_EQ(ObjectModelError([&] { table.Columns("ICDA").Properties("Nullable"); }).number(),
            -2146825023);
  Key key;
  key.AppendColumn("a");
  EXPECT_EQ(ObjectModelError([&] { key.Columns("b"); }).number(), -2146825023);
  EXPECT_EQ(ObjectModelError([&] { table.AppendKey(key); }).number(), -2146825287);
}

TEST_F(CatalogUse, ForeignKeysHoldInsideTheFile) {
  Run("insert into Person (LastName) values ('Lee')");
  Run("insert into event (patientid) values (1)");
  Run("insert into Condition (patientid) values (1)");
  AddAllKeys();
  const auto keys = catalog_.Tables("cms2012").Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].name, "CMS_Person");
  EXPECT_EQ(keys[0].type, KeyType::Foreign);
  EXPECT_EQ(keys[0].relatedTable, "Person");
  EXPECT_EQ(keys[0].columns().at(0).Name(), "CLIENT_ID");
  EXPECT_EQ(keys[0].columns().at(0).RelatedColumn(), "ID");

  Run(CmsInsert(1, 1));
  EXPECT_EQ(Refused(CmsInsert(2, 1)).description(),
            "You cannot add or change a record because a related record is required in table "
            "'Person'.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3201");
  EXPECT_NE(Refused(CmsInsert(1, 9)).description().find("table 'event'"), std::string::npos);
  Refused("insert into condition_url (condition_id, name, link) values (5, 'a', 'b')");
  Refused("update cms2012 set client_id = 2");
  EXPECT_EQ(Refused("delete from Person where ID = 1").description(),
            "The record cannot be deleted or changed because table 'cms2012' includes related "
            "records.");
  EXPECT_EQ(db_.errors().Item(0).sqlState, "3200");
  Refused("update event set id = 7 where id = 1");
  EXPECT_EQ(Scalar("select count(*) from cms2012"), Value::Long(1));
  EXPECT_EQ(Scalar("select count(*) from Person"), Value::Long(1));
  {
    RawClient raw(path_, kPassword);
    EXPECT_NE(raw.Exec("delete from event"), "");
    EXPECT_NE(raw.Exec("update cms2012 set EVENT_ID = 5"), "");
  }
  // Parents without children go; children go freely.
  Run("insert into Person (LastName) values ('Kim')");
  Run("delete from Person where ID = 2");
  Run("delete from cms2012");
  Run("delete from Person");
}

TEST_F(CatalogUse, AFailedAppendChangesNothing) {
  Run("insert into Person (LastName) values ('Lee')");
  AppendKey("cms2012", "CMS_Person", "Client_ID", "Person", "ID");
  auto appendFails = [&](const std::string& table, const std::string& name, const std::string& column,
                         const std::string& relatedTable, const std::string& relatedColumn) {
    try {
      AppendKey(table, name, column, relatedTable, relatedColumn);
    } catch (const Error& e) {
      EXPECT_EQ(e.source(), kEngineSource);
      return e.description();
    }
    ADD_FAILURE() << "appended " << name;
    return std::string();
  };
  EXPECT_EQ(appendFails("cms2012", "cms_person", "Event_ID", "Event", "ID"),
            "Object 'cms_person' already exists.");
  EXPECT_NE(appendFails("cms2012", "K1", "Event_ID", "NoTable", "ID").find("cannot find the input table or query 'NoTable'"),
            std::string::npos);
  EXPECT_EQ(appendFails("cms2012", "K2", "NoColumn", "Event", "ID"),
            "Field 'NoColumn' not found in table 'cms2012'.");
  EXPECT_EQ(appendFails("cms2012", "K3", "Event_ID", "Event", "patientid"),
            "The specified fields are not uniquely indexed in table 'event'.");
  EXPECT_EQ(appendFails("cms2012", "K4", "PATIENT_LNAME", "Event", "ID"),
            "Relationship must be on the same number of fields with the same data types.");
  Run("insert into condition_url (condition_id, name, link) values (5, 'a', 'b')");
  EXPECT_EQ(appendFails("condition_url", "Condition_Urls", "Condition_ID", "Condition", "ID"),
            "Cannot create the relationship: existing data in table 'condition_url' violates "
            "referential integrity rules with related table 'Condition'.");
  EXPECT_EQ(catalog_.Tables("cms2012").Keys().size(), 1u);
  EXPECT_TRUE(catalog_.Tables("condition_url").Keys().empty());
  // No rule of a failed key is left behind.
  Run("insert into condition_url (condition_id, name, link) values (6, 'a', 'b')");
  Run("insert into event (patientid) values (1)");
  Run(CmsInsert(1, 1));
  Run("delete from event");
}

TEST_F(CatalogUse, AnIndexIsSeenByItsFirstColumnAndChangesNoAnswer) {
  Table& events = catalog_.Tables("event");
  EXPECT_TRUE(events.IsIndexed("ID"));  // the counter is the row id
  EXPECT_FALSE(events.IsIndexed("patientid"));
  Run("insert into event (patientid) values (4)");
  events.AppendIndex("event_patientid", "PatientID");
  EXPECT_TRUE(events.IsIndexed("patientid"));
  EXPECT_EQ(Scalar("select count(*) from event where patientid = 4"), Value::Long(1));
  // A raw client sees a plain index of the storage library.
  db_.MakeDurable();
  RawClient raw(path_, kPassword);
  EXPECT_EQ(raw.Stored("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                       "name = 'event_patientid'"),
            "integer:1");
  auto appendFails = [&](const std::string& name, const std::string& column) {
    try {
      events.AppendIndex(name, column);
    } catch (const Error& e) {
      return e.description();
    }
    return std::string("appended");
  };
  EXPECT_EQ(appendFails("EVENT_PATIENTID", "id"), "Object 'EVENT_PATIENTID' already exists.");
  EXPECT_EQ(appendFails("other", "nocolumn"), "Field 'nocolumn' not found in table 'event'.");
  EXPECT_FALSE(events.IsIndexed("date_occurred"));
}

TEST_F(CatalogUse, DroppingTablesRespectsRelationships) {
  AddAllKeys();
  EXPECT_NE(Refused("drop table Person").description().find("CMS_Person"), std::string::npos);
  Run("drop table cms2012");
  EXPECT_EQ(catalog_.Tables("condition_url").Keys().size(), 1u);
  Run("insert into Person (LastName) values ('Lee')");
  Run("delete from Person");
  Run("drop table Person");
  Run(CreateCms2012());
  Catalog fresh;
  fresh.SetActiveConnection(db_);
  EXPECT_TRUE(fresh.Tables("cms2012").Keys().empty());
}

}  // namespace
}  // namespace jet::testing
