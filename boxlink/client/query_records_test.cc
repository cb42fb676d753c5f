// The records are shared with callers by layout.
#include <gtest/gtest.h>

#include <cstddef>

#include "boxlink.h"

namespace {

TEST(QueryRecordsTest, FieldsAreInTheirFixedPlaces) {
  EXPECT_EQ(offsetof(ZBENGINEINFO, MACAddress), 512u);
  EXPECT_EQ(offsetof(ZBENGINEINFO, CurrentTime), 1024u);
  EXPECT_EQ(sizeof(ZBENGINEINFO), 1028u);

  EXPECT_EQ(offsetof(ZBBOX, BoxName), 4u);
  EXPECT_EQ(offsetof(ZBBOX, LastUpdateDate), 516u);
  EXPECT_EQ(offsetof(ZBBOX, Reserved), 532u);
  EXPECT_EQ(offsetof(ZBBOX, Protected), 536u);
  EXPECT_EQ(offsetof(ZBBOX, LastBackupDate), 540u);
  EXPECT_EQ(sizeof(ZBBOX), 556u);

  EXPECT_EQ(offsetof(ZBBOXPROPERTY, RawBoxName), 516u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, BoxOwner), 1028u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, LastBackupDate), 1580u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, CreateDate), 1584u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, Reserved), 1600u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, LastUpdateDate), 1616u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, BoxUsedDisk), 1632u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, PreservationPeriod), 1636u);
  EXPECT_EQ(offsetof(ZBBOXPROPERTY, WarningNotice), 1640u);
  EXPECT_EQ(sizeof(ZBBOXPROPERTY), 2152u);

  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, ItemName), 8u);
  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, CreateDate), 520u);
  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, Ready), 552u);
  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, LastAccessDate), 560u);
  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, ThumbnailPath), 592u);
  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, HorizontalResolution), 2640u);
  EXPECT_EQ(offsetof(ZBCOLLECTIONITEM, ScanDuplex), 2648u);
  EXPECT_EQ(sizeof(ZBCOLLECTIONITEM), 2652u);

  EXPECT_EQ(offsetof(ZBSECURITY, HashAlgorithm), 16u);
  EXPECT_EQ(offsetof(ZBSECURITY, AppText), 20u);
  EXPECT_EQ(offsetof(ZBSECURITY, Password), 532u);
  EXPECT_EQ(offsetof(ZBSECURITY, AuthenticationDomainName), 1044u);
  EXPECT_EQ(sizeof(ZBSECURITY), 2068u);
}

}  // namespace
