#include "keeper/app/result_text.h"

#include <gtest/gtest.h>

#include "keeper/app/br_error.h"
#include "keeper/app/strings.h"

namespace keeper {
namespace {

std::string S(uint32_t id) { return std::string(KeeperString(id)); }

JobResult Result(uint32_t outcome, uint32_t error, uint32_t state = 0) {
  JobResult r;
  r.outcome = outcome;
  r.error = error;
  r.last_state = state;
  r.box_name = "Sales";
  return r;
}

TEST(ResultTextTest, Backup) {
  EXPECT_EQ(BackupResultMessage(Result(303, 0), "a").text, S(51));
  auto failed = BackupResultMessage(Result(304, 12029), "127.9.0.1");
  EXPECT_EQ(failed.text,
            S(52) + "\n" + cZBBoxBRError(12029).Text("127.9.0.1"));
  EXPECT_EQ(failed.severity, Severity::kError);
  EXPECT_TRUE(failed.disconnected);
  EXPECT_FALSE(BackupResultMessage(Result(304, 5), "a").disconnected);
  auto cancelled = BackupResultMessage(Result(305, 0), "a");
  EXPECT_EQ(cancelled.text, S(10012));
  EXPECT_EQ(cancelled.severity, Severity::kWarning);
}

TEST(ResultTextTest, RestoreLimitsNameTheContainer) {
  auto no_query = [](uint32_t*) { return false; };
  JobResult docs = Result(304, 8260, 9);
  docs.folder_name = "Invoices";
  auto m = RestoreResultMessage(docs, "a", no_query);
  EXPECT_NE(m.text.find("Sales\\Invoices"), std::string::npos) << m.text;
  EXPECT_EQ(m.text.rfind(S(55), 0), 0u);

  m = RestoreResultMessage(Result(304, 8260, 10), "a", no_query);
  EXPECT_NE(m.text.find("box Sales"), std::string::npos) << m.text;

  // Not a limit state: the plain error text.
  m = RestoreResultMessage(Result(304, 8260, 4), "a", no_query);
  EXPECT_EQ(m.text, S(55) + "\n" + S(114));
}

TEST(ResultTextTest, RestoreDiskFullAsksForStorageType) {
  auto storage2 = [](uint32_t* t) { *t = 2; return true; };
  auto unknown = [](uint32_t*) { return false; };
  EXPECT_EQ(RestoreResultMessage(Result(304, 39), "a", storage2).text,
            S(55) + "\n" + S(10021));
  EXPECT_EQ(RestoreResultMessage(Result(304, 39), "a", unknown).text, S(114));
}

TEST(ResultTextTest, RestoreOtherOutcomes) {
  auto none = [](uint32_t*) { return false; };
  EXPECT_EQ(RestoreResultMessage(Result(304, 1314), "a", none).text, S(12004));
  EXPECT_EQ(RestoreResultMessage(Result(303, 0), "a", none).text, S(54));
  EXPECT_EQ(RestoreResultMessage(Result(305, 0), "a", none).text, S(10013));
  EXPECT_TRUE(RestoreResultMessage(Result(304, 12002), "a", none).disconnected);
}

}  // namespace
}  // namespace keeper
