// Record saves sent by clients through the database client, in process and over TCP: two
// clients saving the same code at once, and a connection that goes away between the
// messages of a save.
#include <gtest/gtest.h>

#include <barrier>
#include <thread>

#include "support/client_request.h"
#include "support/save_message.h"
#include "support/stores.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;

class RecordSaveClientTest : public ClientTest {};

// Each round two clients create a record with one code in two letter cases at the same
// moment: the store keeps exactly one, and the other client hears that the code is taken.
TEST_P(RecordSaveClientTest, OfTwoClientsSavingOneCodeAtOnceExactlyOneWins) {
  WriteStore(storePath_,
             "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) "
             "values(305, 'XM', x'0100000001000000')");
  Connection adm = LogonAs("adm", kAdminPassword);
  Connection alice = LogonAs("alice", "alice-pw1");
  ASSERT_TRUE(adm && alice);
  constexpr int kRounds = 20;
  std::barrier start(2);
  auto racer = [&](tagXCliDB* db, bool upper, std::vector<int>* statuses) {
    for (int round = 0; round < kRounds; ++round) {
      const std::string code = std::string(upper ? "RACER" : "racer") + std::to_string(round);
      const SaveBytes body =
          SaveBody(NewUnder(305), {Entry("UUSR.CCODE", code), Entry("UUSR.CSRC", "UUSRI")});
      start.arrive_and_wait();
      statuses->push_back(SendRequest(db, p::kRecordSaveLast, body).status);
    }
  };
  std::vector<int> admStatuses, aliceStatuses;
  std::thread first(racer, adm.get(), false, &admStatuses);
  std::thread second(racer, alice.get(), true, &aliceStatuses);
  first.join();
  second.join();
  ASSERT_EQ(admStatuses.size(), static_cast<std::size_t>(kRounds));
  ASSERT_EQ(aliceStatuses.size(), static_cast<std::size_t>(kRounds));
  for (int round = 0; round < kRounds; ++round) {
    const std::vector<int> pair = {admStatuses[round], aliceStatuses[round]};
    EXPECT_TRUE(pair == std::vector<int>({p::kRecordSaved, p::kRecordSaveCodeTaken}) ||
                pair == std::vector<int>({p::kRecordSaveCodeTaken, p::kRecordSaved}))
        << "round " << round << ": " << pair[0] << ", " << pair[1];
    EXPECT_EQ(QueryText(adm.get(), "select count(*) from UUSR where CCODE = 'racer" +
                                       std::to_string(round) + "'"),
              "1");
  }
}

TEST_P(RecordSaveClientTest, AConnectionThatGoesAwayBetweenMessagesAppliesNothing) {
  Connection adm = LogonAs("adm", kAdminPassword);
  ASSERT_TRUE(adm);
  EXPECT_EQ(SendRequest(adm.get(), p::kRecordSaveEarly,
                        SaveBody(UpdateOf(309), {Entry("UUSR.CNAME", "Half saved")}))
                .status,
            p::kRecordChunkKept);
  adm.reset();
  // Stopping the server waits for every connection's session to end.
  if (server_) server_->Stop();
  EXPECT_EQ(StoreRows(storePath_, "select CNAME from UUSR where NID = 309"),
            std::vector<std::string>{"3:Bob Baker|"});
}

INSTANTIATE_TEST_SUITE_P(Store, RecordSaveClientTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
