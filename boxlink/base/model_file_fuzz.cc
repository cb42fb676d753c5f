// libFuzzer target for the model information file: the framework's object
// stream read into the model checker, which is then asked about the
// categories and versions the engine asks about.
#include <cstdint>
#include <string_view>

#include "boxlink/base/box_error.h"
#include "boxlink/base/model_addition_check.h"
#include "boxlink/base/model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    boxlink::ModelAdditionCheck check;
    check.LoadBytes(bytes);
    (void)check.CategoryIndex("KVX_Supported_Models");
    (void)check.CheckCategory("Varda 8000 Series V1.0", "KVX_Supported_Models");
    for (int i = 0; i < boxlink::ModelAdditionCheck::kCategoryLists; ++i)
      (void)check.Category(i).size();
  } catch (const boxlink::BoxError&) {
  }
  // The reader's primitives on their own, to the end of the buffer.
  boxlink::FrameworkReader in(bytes);
  std::string text;
  uint32_t n = 0;
  while (!in.at_end() && (in.ReadString(&text) || in.ReadU32(&n))) {
  }
  return 0;
}
