#include "keeper/cli/convert_command.h"

#include <gtest/gtest.h>

#include "boxlink.h"

namespace keeper::cli {
namespace {

TEST(ConvertCommandTest, ParsesModelsArchivesAndOptions) {
  std::string error;
  auto o = ParseConvertArgs({"--from", "Varda720/740", "--to", "Varda 8000", "--force",
                             "--progress", "lines", "in.zip", "out.zip"},
                            &error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->from, "Varda720/740");
  EXPECT_EQ(o->to, "Varda 8000");
  EXPECT_EQ(o->source, "in.zip");
  EXPECT_EQ(o->output, "out.zip");
  EXPECT_TRUE(o->force);
  EXPECT_FALSE(o->summary);
  EXPECT_EQ(o->progress, ProgressMode::kLines);

  // The summary needs no archives.
  o = ParseConvertArgs({"--summary", "--from", "A", "--to", "B"}, &error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->summary);

  EXPECT_FALSE(ParseConvertArgs({"--help"}, &error));
  EXPECT_TRUE(error.empty());
}

TEST(ConvertCommandTest, RefusesIncompleteOrContradictoryArguments) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"in.zip", "out.zip"}, "--from"},
      {{"--from", "A", "in.zip", "out.zip"}, "--to"},
      {{"--from", "A", "--to", "A", "in.zip", "out.zip"}, "same model"},
      {{"--from", "A", "--to", "B", "in.zip"}, "output archive"},
      {{"--from", "A", "--to", "B", "a", "b", "c"}, "unexpected argument 'c'"},
      {{"--from", "A", "--to"}, "--to needs a value"},
      {{"--from", "", "--to", "B", "a", "b"}, "--from needs a value"},
      {{"--from", "A", "--to", "B", "--progress", "fancy", "a", "b"}, "--progress takes"},
      {{"--from", "A", "--to", "B", "--boxes", "1", "a", "b"}, "unknown option '--boxes'"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseConvertArgs(c.args, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

TEST(ConvertCommandTest, SummaryAndErrorTextsNameWhatHappens) {
  ConvertOptions o;
  o.from = "Varda720/740";
  o.to = "Varda620/660 V1.2";
  EXPECT_EQ(SummaryText(0, o), "Converting from Varda720/740 to Varda620/660 V1.2 drops no documents.");
  EXPECT_EQ(SummaryText(ZB_DROP_COLOUR | ZB_DROP_WIDE_PAPER | ZB_DROP_COPY_COMPOUND, o),
            "Converting from Varda720/740 to Varda620/660 V1.2 drops colour documents, documents "
            "on wide paper and compound copies: Varda620/660 V1.2 cannot hold them.");
  EXPECT_NE(SummaryText(ZB_DROP_WIDE_PAPER, o).find("drops documents on wide paper:"),
            std::string::npos);
  EXPECT_NE(ConvertErrorText(259, ConvertKind::kArchiveData, o).find("every document"),
            std::string::npos);
  EXPECT_NE(ConvertErrorText(1462, ConvertKind::kFormat, o).find("SRA3"), std::string::npos);
  EXPECT_NE(ConvertErrorText(87, ConvertKind::kFormat, o).find("wide paper"), std::string::npos);
  EXPECT_NE(ConvertErrorText(50, ConvertKind::kBackupData, o).find("Varda720/740"),
            std::string::npos);
  EXPECT_NE(ConvertErrorText(50, ConvertKind::kFormat, o).find("conversion tables"),
            std::string::npos);
  EXPECT_FALSE(ConvertErrorText(5, ConvertKind::kFormat, o).empty());
}

}  // namespace
}  // namespace keeper::cli
