// Checks the converter against an independent table: glibc's iconv "GBK".
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "text/encodings.h"

namespace quibo {
namespace {

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The whole input converted, or nothing when iconv refuses any of it.
  std::optional<std::string> Convert(std::string in) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(in.size() * 4 + 8, '\0');
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0) {
      return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

TEST(GbkTable, EveryTwoByteCodeAgreesWithGlibc) {
  Iconv toUtf8("UTF-8", "GBK");
  ASSERT_TRUE(toUtf8.ok());
  int compared = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      Text gbk{static_cast<char>(lead), static_cast<char>(trail)};
      std::optional<std::string> utf8 = toUtf8.Convert(gbk);
      if (!utf8) continue;  // a code glibc's GBK leaves unmapped
      ++compared;
      ASSERT_EQ(GbkToUtf8(gbk), *utf8) << std::hex << "code " << lead << trail;
      ASSERT_EQ(Utf8ToGbk(*utf8), gbk) << std::hex << "code " << lead << trail;
    }
  }
  // GBK holds 21,886 codes; make sure the table was really walked.
  EXPECT_GT(compared, 21000);
}

TEST(GbkTable, CharactersOutsideGbkSurvive) {
  const char* outside[] = {
      "\xF0\x9F\x98\x80",  // U+1F600
      "\xF0\xA0\x80\x80",  // U+20000
      "\xE3\x90\x80",      // U+3400
      "\xC3\xBE",          // U+00FE
      "\xEF\xBF\xBD",      // U+FFFD
  };
  for (const char* utf8 : outside) {
    EXPECT_EQ(GbkToUtf8(Utf8ToGbk(utf8)), utf8) << "utf-8 bytes: " << utf8;
  }
}

}  // namespace
}  // namespace quibo
