#include "boxlink/convert/value_maps.h"

namespace boxlink::maps {

std::string_view ValueMap::Text(uint32_t code) const {
  for (const Code& c : codes)
    if (c.code == code) return c.text;
  return fallback;
}

namespace {

constexpr Code kJobTypeCodes[] = {{1, "Copy"}, {2, "Scan"}, {4, "Fax"}, {8, "Print"}};
constexpr Code kColourModeCodes[] = {{1, "Mono"}, {2, "Gray"}, {4, "Color"}, {8, "FLMBW"}};
constexpr Code kResolutionCodes[] = {{1, "600"},   {2, "400"},   {4, "300"},
                                     {8, "200"},   {16, "150"},  {32, "100"},
                                     {64, "203"},  {128, "203"}, {256, "203"},
                                     {512, "406"}};
constexpr Code kVerticalCodes[] = {{1, "600"},  {2, "400"},   {4, "300"},   {8, "200"},
                                   {16, "150"}, {32, "100"},  {64, "98"},   {128, "196"},
                                   {256, "391"}, {512, "391"}};
constexpr Code kPairCodes[] = {{1, "600600/"},  {2, "400400/"},  {4, "300300/"},
                               {8, "200200/"},  {16, "150150/"}, {32, "100100/"},
                               {64, "203098/"}, {128, "203196/"}, {256, "203391/"},
                               {512, "406391/"}};
constexpr Code kPaperSizeCodes[] = {
    {1, "A3"},           {2, "B4"},          {4, "A4"},           {8, "B5"},
    {16, "A5"},          {32, "A6"},         {64, "Postcard"},    {128, "LEDGER"},
    {256, "LEGAL"},      {512, "LETTER"},    {1024, "STATEMENT"}, {2048, "FOLIO"},
    {4096, "COMPUTER"},  {8192, "13inchLEGAL"}, {0x4000, "A3Wide"}, {0x8000, "LEDGERWide"},
    {0x10000, "8.5SQ"},  {0x20000, "A4"},    {0x40000, "B5"},     {0x80000, "LETTER"},
    {0x100000, "8K"},    {0x200000, "16K"},  {0x400000, "16K"},   {0x800000, "SRA3"},
    {0x1000000, "320x460mm"}, {0x2000000, "13x19inch"}};
constexpr Code kAngleCodes[] = {{0, "0"}, {90, "90"}, {180, "180"}, {270, "270"}};
constexpr Code kOrientationCodes[] = {{0, "Portrait"}, {256, "Landscape"}};
constexpr Code kPaperSourceCodes[] = {{2, "InternalLCF"},  {3, "Drawer1"},  {4, "Drawer2"},
                                      {5, "Drawer3"},      {7, "BypassFeeder"},
                                      {9, "Drawer4"},      {10, "ExternalLCF"},
                                      {11, "Inserter"},    {15, "Unused"}};
constexpr Code kPaperTypeCodes[] = {
    {0x100, "Thick1"},         {0x200, "Thick2"},         {0x300, "Thick3"},
    {0x400, "Thick4"},         {0x600, "Special1"},       {0x700, "Special2"},
    {0x800, "Recycled"},       {0x900, "Thin1"},          {0xA00, "Thin2"},
    {0x1000, "Transparency"},  {0x1100, "TAB"},           {0x2000, "Envelope"},
    {0x8100, "Thick1(Back)"},  {0x8200, "Thick2(Back)"},  {0x8300, "Thick3(Back)"},
    {0x8400, "Thick4(Back)"},  {0x8600, "Special1(Back)"}, {0x8700, "Special2(Back)"}};
constexpr Code kSortCodes[] = {{1, "Sort"}, {2, "Group"}, {16, "RotateSort"},
                               {17, "RotateSort"}, {18, "RotateSort"}};
constexpr Code kStapleCodes[] = {{1, "RearStaple"}, {2, "DoubleStaple"}, {3, "FrontStaple"},
                                 {5, "SaddleStitch"}};
constexpr Code kOutputTrayCodes[] = {{1, "Tray1"}, {2, "Tray2"}, {5, "SaddleTray"},
                                     {6, "SideTray"}};
constexpr Code kHolePunchCodes[] = {{1, "CenterTop"}, {3, "MiddleLeft"}};

}  // namespace

const ValueMap kJobType{kJobTypeCodes, ""};
const ValueMap kColourMode{kColourModeCodes, ""};
const ValueMap kResolution{kResolutionCodes, ""};
const ValueMap kVerticalResolution{kVerticalCodes, ""};
const ValueMap kResolutionPair{kPairCodes, ""};
const ValueMap kPaperSize{kPaperSizeCodes, ""};
const ValueMap kAngle{kAngleCodes, ""};
const ValueMap kOrientation{kOrientationCodes, "Auto"};
const ValueMap kPaperSource{kPaperSourceCodes, "Auto"};
const ValueMap kPaperType{kPaperTypeCodes, "Plain"};
const ValueMap kSort{kSortCodes, "Non-Sort"};
const ValueMap kStaple{kStapleCodes, "Non-Staple"};
const ValueMap kOutputTray{kOutputTrayCodes, "InnerTray"};
const ValueMap kHolePunch{kHolePunchCodes, "Unused"};

}  // namespace boxlink::maps
