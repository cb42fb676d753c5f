// The texts of the language library by number (desktop::Texts, one
// mechanism for every desktop deliverable). The discovery library never
// holds a literal user text of its own beyond the few its design names;
// everything else, registry paths and the event name included, is a text
// of the language library that the product definition names.
#pragma once

#include <cstdint>
#include <string>

#include "desktop/texts.h"

namespace finder {

using desktop::Texts;

// The text of a number that may be missing: a resource id that the product
// definition lacks reads as -1, and so as "".
inline std::string TextOf(const Texts& texts, int32_t id) {
  return id < 0 ? std::string() : std::string(texts.Text(static_cast<uint32_t>(id)));
}

// Numbers of the texts the discovery library reads.
namespace text {
// Registry paths, file names and labels (data, the same in every language).
inline constexpr uint32_t kOtherLastDiscoveredBase = 139;
inline constexpr uint32_t kSelectionBase = 141;
inline constexpr uint32_t kOtherLastDiscoveredBase2 = 142;
inline constexpr uint32_t kSettingsType2 = 143;
inline constexpr uint32_t kSettingsTypeOther = 144;
inline constexpr uint32_t kSettingsType1 = 149;
inline constexpr uint32_t kOtherHelpFile = 172;
inline constexpr uint32_t kV1Label = 192;
inline constexpr uint32_t kV3Label = 193;
inline constexpr uint32_t kAuthMd5 = 207;
inline constexpr uint32_t kAuthSha = 208;
inline constexpr uint32_t kPrivNone = 209;
inline constexpr uint32_t kPrivDes = 210;
inline constexpr uint32_t kPrivAes = 310;
inline constexpr uint32_t kIdFileLibrary = 224;
inline constexpr uint32_t kEventName = 324;
inline constexpr uint32_t kTimeoutFile = 400;
inline constexpr uint32_t kProductPrefix = 12031;
inline constexpr uint32_t kProductSuffix = 12032;

// Captions and buttons.
inline constexpr uint32_t kListTitle = 1;
inline constexpr uint32_t kHelp = 2;
inline constexpr uint32_t kCancel = 3;
inline constexpr uint32_t kOk = 4;
inline constexpr uint32_t kTcpipSearch = 6;
inline constexpr uint32_t kSubnetOption = 7;
inline constexpr uint32_t kRangeOption = 8;
inline constexpr uint32_t kFrom = 9;
inline constexpr uint32_t kTo = 10;
inline constexpr uint32_t kProductsGroup = 12;
inline constexpr uint32_t kSearchGroup = 13;
inline constexpr uint32_t kColumnName = 14;
inline constexpr uint32_t kColumnAddress = 15;
inline constexpr uint32_t kStart = 16;
inline constexpr uint32_t kStop = 17;
inline constexpr uint32_t kColumnLocation = 18;
inline constexpr uint32_t kSearching = 19;
inline constexpr uint32_t kWarningCaption = 26;
inline constexpr uint32_t kAdvanced = 40;
inline constexpr uint32_t kManualSelection = 41;
inline constexpr uint32_t kIpxSearch = 42;
inline constexpr uint32_t kLocationLabel = 43;
inline constexpr uint32_t kNameLabel = 44;
inline constexpr uint32_t kAddressLabel = 45;
inline constexpr uint32_t kErrorCaption = 46;
inline constexpr uint32_t kDevicesFound = 50;
inline constexpr uint32_t kColumnModel = 59;
inline constexpr uint32_t kManualTitle = 69;
inline constexpr uint32_t kSettingsTitle = 70;
inline constexpr uint32_t kListHint = 71;
inline constexpr uint32_t kIpxAddressLabel = 87;
inline constexpr uint32_t kIpv4 = 134;
inline constexpr uint32_t kIpv6 = 135;
inline constexpr uint32_t kSnmpSettingsButton = 190;
inline constexpr uint32_t kColumnVersion = 205;
inline constexpr uint32_t kDeviceInformation = 217;
inline constexpr uint32_t kSnmpSettingsCaption = 263;

// Messages.
inline constexpr uint32_t kRegistryErrorCaption = kErrorCaption;
inline constexpr uint32_t kIpv4RangeInvalid = 24;
inline constexpr uint32_t kListFull = 47;
inline constexpr uint32_t kRegistryError = 49;
inline constexpr uint32_t kNameMissing = 51;
inline constexpr uint32_t kNameTooLong = 52;
inline constexpr uint32_t kLocationTooLong = 53;
inline constexpr uint32_t kZeroAddress = 54;
inline constexpr uint32_t kAlreadyListed = 60;
inline constexpr uint32_t kIpxNetworkLength = 88;
inline constexpr uint32_t kIpxNodeLength = 89;
inline constexpr uint32_t kIpxNetworkSpace = 90;
inline constexpr uint32_t kIpxNodeSpace = 91;
inline constexpr uint32_t kIpxNetworkDigits = 92;
inline constexpr uint32_t kIpxNodeInvalid = 93;
inline constexpr uint32_t kNoSearch = 98;
inline constexpr uint32_t kNoProduct = 111;
inline constexpr uint32_t kBroadcastAddress = 119;
inline constexpr uint32_t kIpv6Invalid = 133;
inline constexpr uint32_t kNoIpFamily = 136;
inline constexpr uint32_t kIpv6Zero = 137;
inline constexpr uint32_t kIpv6RangeInvalid = 138;
inline constexpr uint32_t kIdFileUnreadable = 206;
inline constexpr uint32_t kV3NoAnswer = 211;
inline constexpr uint32_t kV1NoAnswer = 246;
inline constexpr uint32_t kCommunitySpaceCaption = kSnmpSettingsCaption;
inline constexpr uint32_t kCommunitySpace = 264;

// Texts of this system's own (no number in the dialogs' design).
inline constexpr uint32_t kIpxUnavailable = 13019;
inline constexpr uint32_t kEnlargeList = 13020;
inline constexpr uint32_t kShrinkList = 13021;
inline constexpr uint32_t kHelpUnavailable = 13022;
inline constexpr uint32_t kLinkUnavailable = 13023;
inline constexpr uint32_t kNameHint = 13024;
}  // namespace text

}  // namespace finder
