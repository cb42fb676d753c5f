// Box list, box properties, folder and document lists and disk space read
// from the simulated device, compared with its box store.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "boxlink.h"
#include "boxlink/testing/device_session_fixture.h"
#include "platform/calendar.h"

namespace {

using boxlink::testing::DeviceSession;
using boxlink::testing::kAdmin;
using devsim::Fault;
using boxlink::testing::BodyFault;
using boxlink::testing::ResultFault;

struct Block {
  ZBBLOCK handle;
  ~Block() { zbBoxFreeBlock(handle); }
};

class BoxQueriesTest : public ::testing::TestWithParam<bool> {};

TEST_P(BoxQueriesTest, BoxListIsTheStoreWithItsTimes) {
  const bool restricted = GetParam();
  DeviceSession d(restricted);
  d.env().SetFixedTimeZone(90);
  std::vector<devsim::BoxInfo> want = d.dev().store().ListBoxes();
  ASSERT_EQ(want.size(), 2u);

  const uint32_t numbers[] = {7, 8};
  ASSERT_EQ(zbBoxUpdateLastBackupDates(d.s(), kAdmin, 1767225600, 2, numbers), 0u);

  uint32_t count = 0;
  ZBBOX* boxes = nullptr;
  Block list{zbBoxGetBoxList(d.s(), &count, &boxes)};
  ASSERT_NE(list.handle, nullptr) << zbBoxGetLastError();
  EXPECT_EQ(zbBoxGetLastError(), 0u);
  ASSERT_EQ(count, 2u);
  for (uint32_t i = 0; i < count; ++i) {
    EXPECT_EQ(boxes[i].BoxNo, want[i].number);
    EXPECT_EQ(std::string(boxes[i].BoxName), want[i].name);
    EXPECT_EQ(boxes[i].Protected, want[i].password.empty() ? 0u : 1u);
    platform::SystemTime t =
        platform::SystemTimeFromUnix(want[i].last_update_date + (restricted ? 90 * 60 : 0));
    EXPECT_EQ(boxes[i].LastUpdateDate.wHour, t.hour);
    EXPECT_EQ(boxes[i].LastUpdateDate.wMinute, t.minute);
    EXPECT_EQ(boxes[i].LastUpdateDate.wDay, t.day);
    // This engine keeps the dates, and the device kept the new one.
    EXPECT_EQ(boxes[i].LastBackupDate.wYear, 2026);
    EXPECT_EQ(boxes[i].LastBackupDate.wMonth, 1);
    EXPECT_EQ(boxes[i].LastBackupDate.wHour, restricted ? 1 : 0);
  }
}

TEST_P(BoxQueriesTest, PropertyCollectionAndDiskSpace) {
  const bool restricted = GetParam();
  DeviceSession d(restricted);
  devsim::BoxStore& store = d.dev().store();
  devsim::BoxInfo box = *store.GetBox(7);
  box.name = "Scan & Fax";
  std::string error;
  ASSERT_TRUE(store.UpdateBox(box, &error)) << error;
  box = *store.GetBox(7);

  ZBBOXPROPERTY p{};
  ASSERT_EQ(zbBoxGetBoxProperty(d.s(), 7, kAdmin, &p), 0u);
  EXPECT_EQ(p.BoxNo, 7u);
  EXPECT_STREQ(p.BoxName, "Scan & Fax");
  EXPECT_STREQ(p.RawBoxName, "Scan &amp; Fax");
  EXPECT_EQ(std::string(p.BoxOwner), box.owner);
  EXPECT_EQ(p.NumOfDocs, box.num_documents);
  EXPECT_EQ(p.NumOfFolders, box.num_folders);
  EXPECT_EQ(p.LastBackupDate, box.last_backup_date);

  // The top level: folders first, then documents.
  std::vector<devsim::ItemInfo> top = store.ListItems(7, 0);
  uint32_t count = 0;
  ZBCOLLECTIONITEM* items = nullptr;
  {
    Block b{zbBoxGetCollection(d.s(), 7, kAdmin, 0, &count, &items, "")};
    ASSERT_NE(b.handle, nullptr) << zbBoxGetLastError();
    ASSERT_EQ(count, top.size());
    ASSERT_EQ(count, 4u);
    for (uint32_t i = 0; i < count; ++i) {
      EXPECT_EQ(items[i].ItemKind, top[i].kind == devsim::ItemKind::kFolder ? 0u : 1u);
      EXPECT_EQ(items[i].ItemId, top[i].number);
    }
    EXPECT_EQ(items[2].NumOfPages, 1u);
    EXPECT_EQ(items[2].DocSize, 2048u);  // 1500 bytes reported as 2 KiB
  }
  // One folder, by number or (restricted) by its id text.
  {
    Block b{zbBoxGetCollection(d.s(), 7, kAdmin, top[1].number, &count, &items,
                               restricted ? "F0000002" : "")};
    ASSERT_NE(b.handle, nullptr) << zbBoxGetLastError();
    EXPECT_EQ(count, store.ListItems(7, top[1].number).size());
  }
  // Only the documents changed after `since`.
  std::vector<uint32_t> dates;
  for (const auto& it : top)
    if (it.kind == devsim::ItemKind::kDocument) dates.push_back(it.last_update_date);
  const uint32_t since = *std::min_element(dates.begin(), dates.end());
  {
    Block b{zbBoxGetCollectionByTime(d.s(), 7, kAdmin, 0, &count, &items, &since, "")};
    ASSERT_NE(b.handle, nullptr);
    size_t newer = std::count_if(dates.begin(), dates.end(),
                                 [&](uint32_t t) { return t > since; });
    EXPECT_EQ(count, 2u + newer);
    EXPECT_EQ(zbBoxBlockSize(b.handle), 4 * sizeof(ZBCOLLECTIONITEM));
  }

  d.dev().mutable_profile().extra["disk.capacity"] = "100000";
  uint32_t capacity = 0, available = 0;
  ASSERT_EQ(zbBoxGetBoxDiskSpace(d.s(), kAdmin, &capacity, &available), 0u);
  EXPECT_EQ(capacity, 100000u);
  EXPECT_EQ(available, 100000u - (store.UsedBytes() + 1023) / 1024);
}

INSTANTIATE_TEST_SUITE_P(Sessions, BoxQueriesTest, ::testing::Bool(),
                         [](const auto& info) {
                           return info.param ? "Restricted" : "Normal";
                         });

TEST(BoxQueriesEngineTest, DatesOnlyWhereTheEngineKeepsThem) {
  DeviceSession d(false, devsim::Layout::kShared);  // "Varda7120/7140 V1.3"
  uint32_t count = 0;
  ZBBOX* boxes = nullptr;
  Block list{zbBoxGetBoxList(d.s(), &count, &boxes)};
  ASSERT_NE(list.handle, nullptr);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(boxes[1].LastBackupDate.wYear, 0) << "not read at all";
  EXPECT_EQ(d.LastQuery("boxnwGetBoxList"), d.Sid());
}

TEST(BoxQueriesEngineTest, EmptyStoreGivesEmptyBlocks) {
  DeviceSession d(false);
  std::string error;
  for (const auto& b : d.dev().store().ListBoxes())
    ASSERT_TRUE(d.dev().store().DeleteBox(b.number, &error));
  uint32_t count = 5;
  ZBBOX* boxes = nullptr;
  Block list{zbBoxGetBoxList(d.s(), &count, &boxes)};
  ASSERT_NE(list.handle, nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(zbBoxBlockSize(list.handle), 0u);
}

TEST(BoxQueriesFailureTest, ResultCodesAndBadReplies) {
  DeviceSession d(false);
  struct Case {
    Fault fault;
    bool on_result;
    uint32_t code;
  } cases[] = {
      {ResultFault(4), true, 1},
      {ResultFault(203), true, 170},
      {ResultFault(214), true, 1260},
      {ResultFault(213), true, 1359},
      {ResultFault(102), true, 4351},
      {BodyFault("<html><body><p>Service Unavailable<br></body></html>"), false, 13},
      {BodyFault("<BoxNwLib><Header><Version>Varda 910 Series V1.0</Version>"
                 "</Header><Message><Result>0</Result></Message></BoxNwLib>"),
       false, 11},
      {BodyFault("<BoxNwLib><Message><Result>0</Result><Boxes NumOfBoxes=\"0\"/>"
                 "</Message></BoxNwLib>"),
       false, 11},  // no Header/Version
  };
  for (const Case& c : cases) {
    d.dev().faults().Arm(c.on_result ? "web.boxnwGetBoxList.result" : "web.boxnwGetBoxList",
                         c.fault);
    uint32_t count = 0;
    ZBBOX* boxes = nullptr;
    EXPECT_EQ(zbBoxGetBoxList(d.s(), &count, &boxes), nullptr);
    EXPECT_EQ(zbBoxGetLastError(), c.code) << c.fault.body << c.fault.code;
    EXPECT_EQ(d.s()->Alive, 1u);
  }
  d.dev().faults().Arm("web.boxnwGetBoxDiskSpace",
                       BodyFault("<BoxNwLib><Message><Result>0</Result>"
                                 "<DiskCapacity>9</DiskCapacity></Message></BoxNwLib>"));
  uint32_t cap = 0, avail = 0;
  EXPECT_EQ(zbBoxGetBoxDiskSpace(d.s(), kAdmin, &cap, &avail), 11u);
  // A box the device does not have.
  ZBBOXPROPERTY p{};
  EXPECT_EQ(zbBoxGetBoxProperty(d.s(), 99, kAdmin, &p), 161u);
  EXPECT_EQ(d.LastQuery("boxnwGetBoxProperty"), d.Sid() + "&BNO=099&PWD=admin00");
}

TEST(BoxQueriesFailureTest, RefusedAccessModeSendsNoListRequest) {
  DeviceSession d(false);
  d.s()->AccessMode = 2;
  uint32_t count = 0;
  ZBBOX* boxes = nullptr;
  EXPECT_EQ(zbBoxGetBoxList(d.s(), &count, &boxes), nullptr);
  EXPECT_EQ(zbBoxGetLastError(), 1327u);
  EXPECT_EQ(d.Count("boxnwGetBoxList"), 0u);
  ZBBOXPROPERTY p{};
  EXPECT_EQ(zbBoxGetBoxProperty(d.s(), 7, kAdmin, &p), 1327u);
  EXPECT_EQ(d.Count("boxnwGetBoxProperty"), 0u);
}

// A device that serves one request at a time cannot answer anything else
// while it assembles a long list: the watch on the list request only asks
// whether the device still takes connections, so the list is waited for
// (its allowed wait is hours) instead of being abandoned at the first
// check that finds the device busy.
TEST(BoxQueriesSlowDeviceTest, ALongListOnADeviceServingOneRequestAtATime) {
  devsim::Profile p = boxlink::testing::WithLayout(devsim::Layout::kClassic, false);
  p.extra["web.workers"] = "1";
  DeviceSession d(p, false);
  // 4 s of real time: many 30 s watch slices of the compressed clock, and
  // longer than a connection check may wait for an answer.
  Fault slow;
  slow.kind = Fault::Kind::kDelay;
  slow.delay = std::chrono::milliseconds(4000);
  d.dev().faults().Arm("web.boxnwGetBoxList", slow);
  uint32_t count = 0;
  ZBBOX* boxes = nullptr;
  Block b{zbBoxGetBoxList(d.s(), &count, &boxes)};
  ASSERT_NE(b.handle, nullptr) << zbBoxGetLastError();
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(d.Count("boxnwGetBoxList"), 1u);
}

}  // namespace
