#include "platform/messages.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(MessagesTest, KnownCodesHaveOneLineTextsOthersNone) {
  for (uint32_t code : {0u, 2u, 11u, 87u, 995u, 1279u, 1314u, 1359u, 1392u,
                        8260u, 12002u, 12004u, 12014u, 12029u, 12031u}) {
    auto text = SystemMessageText(code);
    ASSERT_TRUE(text) << code;
    EXPECT_EQ(text->back(), '\n') << code;
    EXPECT_EQ(text->find('\n'), text->size() - 1) << code;
  }
  EXPECT_FALSE(SystemMessageText(4711));
  EXPECT_FALSE(SystemMessageText(0xFFFFFFFF));
}

}  // namespace
}  // namespace platform
