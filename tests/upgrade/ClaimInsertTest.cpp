// The INSERT text of one claim, where its exact form matters: the column
// list, the separators of each rule, the quoting and the closing.
#include <gtest/gtest.h>

#include <string>

#include "UpgradeFixture.h"
#include "upgrade/ClaimMapping.h"

namespace calmora::testing {
namespace {

std::string InsertFor(const legacy::Row& row, const std::array<std::string, 4>& diagnosis,
                      int& line) {
  return upgrade::BuildClaimInsert(
      [&row](const std::string& column) {
        const auto it = row.find(column);
        return it == row.end() ? jet::Value() : it->second;
      },
      diagnosis, line);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ClaimInsert, TextFollowsTheFormOfEachRule) {
  const legacy::Row row{{"client_id", L(12)},
                        {"event_id", L(34)},
                        {"date_of_therapy", D(2014, 3, 5)},
                        {"queued_for_batch", B(true)},
                        {"Carrier1", T("Blue")},
                        {"Carrier_Zip", T("45202-1234")},
                        {"Insurance_type1", B(true)},
                        {"Patient_LName", T("o'brien-smithfield")},
                        {"charges1", M("12.5")},
                        {"Supplier_nonNPI", T("O'NEIL")}};
  int line = 0;
  const std::string sql = InsertFor(row, {"724.2", ".", "E8497.123", "724 ."}, line);
  EXPECT_EQ(line, 5210);
  EXPECT_EQ(sql.rfind("Insert into cms2012 (CLIENT_ID, EVENT_ID,DATE_OF_THERAPY, "
                      "QUEUED_FOR_BATCH, LAST_BATCH_DATE",
                      0),
            std::string::npos)
      << "LAST_BATCH_DATE is not named";
  EXPECT_EQ(sql.rfind("Insert into cms2012 (CLIENT_ID, EVENT_ID,DATE_OF_THERAPY, QUEUED_FOR_BATCH, "
                      "CARRIER1, CARRIER2, CARRIER3, CARRIER_CITY, ",
                      0),
            0u)
      << sql.substr(0, 120);
  EXPECT_TRUE(Contains(sql, "PROVIDER_NPI, PROVIDER_NONNPI)  Values (12, 34, #3/5/2014#, True, "
                            "'Blue', '', '', '', '', '45202-    ', True,False,False,False,False,"
                            "False,False,'', 'O''BRIEN-SMITHFI', "))
      << sql;
  EXPECT_TRUE(Contains(sql, ", False, '724.2', '', 'E8497.1', '724 .', '', '', "));
  EXPECT_TRUE(Contains(sql, ", 12.5, null, '', "));
  EXPECT_EQ(sql.substr(sql.size() - 12), ", 'O''NEIL')");
  EXPECT_FALSE(Contains(sql, "CMS_ID"));

  std::size_t names = 0;
  const std::string head = sql.substr(0, sql.find(")  Values ("));
  for (char c : head) names += c == ',';
  EXPECT_EQ(names + 1, 231u);
}

}  // namespace
}  // namespace calmora::testing
