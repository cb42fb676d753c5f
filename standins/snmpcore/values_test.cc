#include <gtest/gtest.h>

#include "snmpcore/ber.h"
#include "snmpcore/cco_snmp.h"
#include "snmpcore/snmp.h"

namespace snmpcore {
namespace {

TEST(OidTest, ParsesDottedText) {
  EXPECT_STREQ(Oid("1.3.6.1.2.1.1.5.0").get_printable(), "1.3.6.1.2.1.1.5.0");
  EXPECT_STREQ(Oid(".1.3.6").get_printable(), "1.3.6");
  for (const char* bad : {"", "1", "1..3", "1.3.", "a.b", "3.1", "1.3.99999999999"})
    EXPECT_FALSE(Oid(bad).valid()) << bad;
}

TEST(VbTest, PrintableValues) {
  Vb vb(Oid("1.3.6.1.2.1.1.5.0"));
  EXPECT_EQ(vb.get_printable_value(), nullptr);  // no value yet
  vb.set_value(int64_t{8080});
  EXPECT_STREQ(vb.get_printable_value(), "8080");
  vb.set_value(int64_t{-3});
  EXPECT_STREQ(vb.get_printable_value(), "-3");
  vb.set_raw(ber::kCounter32, std::string("\x00\xFF\xFF\xFF\xFF", 5));
  EXPECT_STREQ(vb.get_printable_value(), "4294967295");
  vb.set_value(OctetStr("Solid State Drive"));
  EXPECT_STREQ(vb.get_printable_value(), "Solid State Drive");
  vb.set_value(OctetStr("B\xC3\xBCro"));  // UTF-8 stays text
  EXPECT_STREQ(vb.get_printable_value(), "B\xC3\xBCro");
  vb.set_value(OctetStr(""));
  EXPECT_STREQ(vb.get_printable_value(), "");
  vb.set_raw(ber::kIpAddress, "\x7F\x01\x02\x03");
  EXPECT_STREQ(vb.get_printable_value(), "127.1.2.3");
  std::vector<uint32_t> ids = {1, 3, 6, 1, 4, 1, 58231};
  vb.set_raw(ber::kObjectId, ber::ObjectId(ids).substr(2));
  EXPECT_STREQ(vb.get_printable_value(), "1.3.6.1.4.1.58231");
  for (uint8_t tag : {ber::kNull, ber::kNoSuchObject, ber::kNoSuchInstance,
                      ber::kEndOfMibView}) {
    vb.set_raw(tag, {});
    EXPECT_EQ(vb.get_printable_value(), nullptr) << int(tag);
  }
}

TEST(VbTest, PhysicalAddressForm) {
  const unsigned char mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF};
  Vb vb(Oid("1.3.6.1.2.1.99.1"));
  vb.set_value(OctetStr(mac, sizeof mac));
  // Two leading characters, then 17 of hexadecimal pairs and spaces.
  EXPECT_STREQ(vb.get_printable_value(), "0x00 1A 2B 3C 4D EF");
  // Under ifPhysAddress, bytes that happen to be printable stay an address.
  Vb phys(Oid("1.3.6.1.2.1.2.2.1.6.2"));
  phys.set_value(OctetStr("ABCDEF"));
  EXPECT_STREQ(phys.get_printable_value(), "0x41 42 43 44 45 46");
  EXPECT_EQ(std::string(phys.get_printable_value()).size(), 19u);
}

TEST(PduTest, TrimAndGetVb) {
  Pdu pdu;
  pdu.trim(1);  // nothing to trim
  EXPECT_EQ(pdu.get_vb_count(), 0);
  pdu += Vb(Oid("1.3.6.1.2.1.1.5.0"));
  pdu += Vb(Oid("1.3.6.1.2.1.1.6.0"));
  pdu.trim(1);
  ASSERT_EQ(pdu.get_vb_count(), 1);
  Vb out;
  ASSERT_TRUE(pdu.get_vb(out, 0));
  EXPECT_STREQ(out.get_oid().get_printable(), "1.3.6.1.2.1.1.5.0");
  EXPECT_FALSE(pdu.get_vb(out, 1));
  EXPECT_FALSE(pdu.get_vb(out, -1));
}

TEST(CCoSnmpTest, UnusableRequestsFailWithoutNetwork) {
  CCoSnmp ipx("1.3.6.1.2.1.1.2.0", 3, "00000000:ffffffffffff/36879", 1);
  EXPECT_EQ(ipx.SnmpGetPtrToStringValue(), nullptr);
  EXPECT_EQ(ipx.SnmpGetErrorCode(), SNMP_CLASS_TL_UNSUPPORTED);

  CCoSnmp bad_oid("1.3..6", 3, "127.0.0.1", 1);
  char buffer[8] = "garbage";
  EXPECT_NE(bad_oid.SnmpGetStringValue(buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(bad_oid.SnmpGetErrorCode(), SNMP_CLASS_INVALID_OID);

  CCoSnmp no_address;
  no_address.FormPduWithOid("1.3.6.1.2.1.1.2.0");
  EXPECT_EQ(no_address.SnmpGetPtrToStringValue(), nullptr);
  EXPECT_EQ(no_address.SnmpGetErrorCode(), SNMP_CLASS_INVALID_ADDRESS);

  // Unknown protocol codes are refused, not sent without security.
  CCoSnmp v3;
  v3.SetPduAndTimeoutAndAddress(const_cast<char*>("1.3.6.1.2.1.1.2.0"), 3,
                                const_cast<char*>("127.0.0.1"));
  v3.SetSnmpVersion(3);
  v3.PopulateV3Parameters("", "privpass1", "user", "authpass1", "", "", 3, 3,
                          1, 1, 3);
  EXPECT_EQ(v3.SnmpGetPtrToStringValue(), nullptr);
  EXPECT_EQ(v3.SnmpGetErrorCode(), SNMP_CLASS_AUTH_FAILED);
}

}  // namespace
}  // namespace snmpcore
