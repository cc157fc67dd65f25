// hrzserver made and served on a PostgreSQL store as an administrator runs it, and the database
// client logging on over TCP to read and write through it.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "hrzcommon/wire.h"
#include "hrzserver/pg_db.h"
#include "support/child_process.h"
#include "support/client_request.h"
#include "support/pg_cluster.h"
#include "support/save_message.h"
#include "support/stores.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;

using ServeOnPostgresTest = PgTest;

TEST_F(ServeOnPostgresTest, InitThenServeAndTheAdministratorReadsAndWritesOverTcp) {
  TempDir dir;
  {
    ChildProcess init(HRZSERVER_PATH, {"init", "--store", location_, "--admin-password", "pg-pw"});
    EXPECT_EQ(init.Rest(), "Created " + location_ + " with the administrator adm.\n");
    ASSERT_EQ(init.Wait(), 0);
  }
  ChildProcess serve(HRZSERVER_PATH,
                     {"serve", "--store", location_, "--plain", "--listen", "127.0.0.1:0"});
  const std::string served = ServedLocation(serve);
  ASSERT_EQ(served.rfind("tcp+plain://", 0), 0u) << served;
  UseConfigFolder(dir.File("config"));

  EXPECT_FALSE(TryLogon(served, "adm", "wrong-pw")) << "the password init set is the one";
  Connection adm = TryLogon(served, "adm", "pg-pw");
  ASSERT_TRUE(adm);
  // A write: a new user under the root, numbered by the store.
  const ClientReply saved = SendRequest(
      adm.get(), p::kRecordSaveLast,
      SaveBody(NewUnder(2), {Entry("UUSR.CCODE", "pgtester"), Entry("UUSR.CNAME", "Served Writer"),
                             Entry("UUSR.CSRC", "UUSRI")}));
  ASSERT_EQ(saved.status, p::kRecordSaved) << saved.FirstText();
  const std::int32_t nid = hrz::wire::ReadInt32(&saved.body[p::kRecordItemNidOffset]);
  EXPECT_GT(nid, 2);
  // A read: the code's holder, whatever the case the client writes it in.
  hrz::wire::BodyWriter code;
  code.PutText("PGTESTER");
  const ClientReply held = SendRequest(adm.get(), p::kFindCode, code.Finish());
  ASSERT_EQ(held.status, p::kCodeHeld);
  hrz::wire::BodyReader fields(held.body);
  std::int32_t holder = 0;
  ASSERT_TRUE(fields.NextInt32(&holder));
  EXPECT_EQ(holder, nid);
  adm.reset();
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);

  // What the server wrote is in the database, not anywhere else.
  std::string error;
  std::unique_ptr<hrzsrv::pg::Connection> db = hrzsrv::pg::Connection::Open(location_, &error);
  ASSERT_NE(db, nullptr) << error;
  const hrzsrv::pg::Result row = db->Exec(
      "SELECT u.CNAME, b.NPID FROM UUSR u JOIN UUSRBM b ON b.NCID = u.NID WHERE u.NID = $1",
      {hrzsrv::pg::Param::Int(nid)});
  ASSERT_EQ(row.Rows(), 1) << row.error();
  EXPECT_EQ(row.Text(0, 0), "Served Writer");
  EXPECT_EQ(row.Text(0, 1), "2");
}

}  // namespace
}  // namespace hrztest
