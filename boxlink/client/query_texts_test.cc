#include "boxlink/client/query_texts.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace boxlink;

TEST(QueryTextsTest, FormsOfEveryQuery) {
  const std::vector<uint32_t> three = {1, 12, 123};
  const std::vector<uint32_t> big = {1000};
  struct Case {
    std::string got, want;
  } cases[] = {
      {EngineInfoQuery(42, "pw", false), "SID=00000042&PWD=pw"},
      {EngineInfoQuery(42, nullptr, false), "SID=00000042&PWD="},
      {EngineInfoQuery(42, "pw", true), "SID=00000042"},
      {BoxListQuery(123456789), "SID=123456789"},
      {BoxPropertyQuery(1, 7, "pw"), "SID=00000001&BNO=007&PWD=pw"},
      {FolderDocListQuery(1, 7, "pw", 5, false, "ignored"),
       "SID=00000001&BNO=007&PWD=pw&FID=F0000005"},
      {FolderDocListQuery(1, 7, "pw", 0, false, ""),
       "SID=00000001&BNO=007&PWD=pw&FID="},
      {FolderDocListQuery(1, 7, "pw", 5, true, "F0000009"),
       "SID=00000001&BNO=007&PWD=pw&FID=F0000009"},
      {FolderDocListQuery(1, 7, "pw", 5, true, ""),
       "SID=00000001&BNO=007&PWD=pw&FID="},
      {DiskSpaceQuery(1, "pw", false), "SID=00000001&PWD=pw"},
      {DiskSpaceQuery(1, "pw", true), "SID=00000001"},
      {UiJobQuery(1, "pw", 0, false), "SID=00000001&PWD=pw&MOD=0"},
      {UiJobQuery(1, "pw", 1, true), "SID=00000001&MOD=1"},
      {SessionQuery(1, "pw", false), "SID=00000001&PWD=pw"},
      {SessionQuery(1, "pw", true), "SID=00000001"},
      {DeleteDocQuery(1, 7, "pw", 0, 5),
       "SID=00000001&BNO=007&PWD=pw&FID=&DID=D0000005"},
      {DeleteDocQuery(1, 7, "pw", 3, 5),
       "SID=00000001&BNO=007&PWD=pw&FID=F0000003&DID=D0000005"},
      {ClusterChangeQuery(1, 7, "pw", 3, 0, 0, 0),
       "SID=00000001&BNO=007&PWD=pw&FID=F0000003&DID=&NOC=0&MOD=0"},
      {ClusterChangeQuery(1, 7, "pw", 0, 4, 0, 0),
       "SID=00000001&BNO=007&PWD=pw&FID=&DID=D0000004&NOC=0&MOD=0"},
      {ClusterChangeQuery(1, 7, "pw", 3, 4, 1, 0),
       "SID=00000001&BNO=007&PWD=pw&FID=F0000003&DID=D0000004&NOC=1&MOD=0"},
      {ClusterChangeQuery(1, 7, "pw", 0, 0, 2, 1),
       "SID=00000001&BNO=007&PWD=pw&FID=&DID=&NOC=2&MOD=1"},
      {LastBackupDatesBody(1, "pw", false, 1767225600, three),
       "SID=00000001&PWD=pw&LBD=1767225600&TNB=3&BNO=001,012,123"},
      {LastBackupDatesBody(1, "pw", true, 5, big),
       "SID=00000001&LBD=5&TNB=1&BNO=1000"},
      {AuthenticateQuery("a&b", false), "UID=Admin&PWD=a%26b&APL=ZELT&ENC=0"},
      {UiJobQuery(1, "p=1&q#2%3+ 4", 0, false), "SID=00000001&PWD=p%3D1%26q%232%253%2B%204&MOD=0"},
      {FolderDocListQuery(1, 7, "pw", 0, true, "My Folder&1"),
       "SID=00000001&BNO=007&PWD=pw&FID=My%20Folder%261"},
      {QueryValue("Az09-._~/:\xC3\xA4"), "Az09-._~%2F%3A\xC3\xA4"},
      {AuthenticateQuery("", true), "UID=Admin&PWD=&APL=ZELT&ENC=1"},
      {ServiceStatusQuery(), "APL=ZELT"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
  EXPECT_EQ(DeleteDocQueryWide(1, 7, u"p\u00E4", u"", u"D\u65E5"),
            u"SID=00000001&BNO=007&PWD=p\u00E4&FID=&DID=D\u65E5");
  EXPECT_EQ(DeleteDocQueryWide(1, 7, u"p&w", u"F 1", u"D#1+2"),
            u"SID=00000001&BNO=007&PWD=p%26w&FID=F%201&DID=D%231%2B2");
}

}  // namespace
