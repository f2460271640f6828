#include "config/k_registry.h"

#include <gtest/gtest.h>

#include "base/k_memory_stream.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"

namespace {

std::string Written(const KRNode& node) {
  KMemoryStream stream;
  stream.SetWriteEncoding(KStream::kEncoding8Bit);
  stream.SetWriteLineMode(KStream::kLineLF);
  node.Store(stream);
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

}  // namespace

TEST(KRegistry, AppliedLinesAreFoundByPath) {
  KRegistry root;
  ASSERT_NE(root.Apply(u"Display\\:="), nullptr);
  ASSERT_NE(root.Apply(u"Display\\Width:Int=640"), nullptr);
  KRInt* width = root.LookupInt(u"\\Display\\Width");
  ASSERT_NE(width, nullptr);
  EXPECT_EQ(width->Value(), 640);
  EXPECT_EQ(root.LookupInt(u"\\Display\\Height", -7), -7);
  EXPECT_EQ(Written(root),
            "Registry Version: 1.00\n\\:,1=\n\\Display\\:,1=\n\\Display\\Width:Int,1,,=640\n");
}
