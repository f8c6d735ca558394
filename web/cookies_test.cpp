#include "web/cookies.h"

#include <gtest/gtest.h>

namespace quibo {
namespace {

TEST(MergeCookiesTest, Cases) {
  const struct {
    const char* name;
    Text cookies, received;
    Text wantMerged, wantReceived;
  } cases[] = {
      {"both empty", "", "", "", ""},
      {"only old: order kept, first of a name", "a=1; b=2; a=3", "", "a=1; b=2", ""},
      {"only received: order kept, final ; kept in received", "", "x=1; y=2; ", "x=1; y=2",
       "x=1;y=2;"},
      {"received wins over old of its name and goes first", "a=1; b=2", "b=9; ", "b=9; a=1",
       "b=9;"},
      {"received deleted removes itself and the old", "a=1; b=2", "b=deleted; ", "a=1",
       "b=deleted;"},
      {"old deleted item dropped", "a=deleted; b=2", "", "b=2", ""},
      {"deleted is exact case", "a=DELETED", "", "a=DELETED", ""},
      {"two received with one name both stay", "", "a=1; a=2; ", "a=1; a=2", "a=1;a=2;"},
      {"equal received items appear once", "", "a=1; a=1; ", "a=1", "a=1;a=1;"},
      {"names differing in case are different", "A=1", "a=2; ", "a=2; A=1", "a=2;"},
      {"old item without = gives way to its name", "flag; b=2", "flag=on; ", "flag=on; b=2",
       "flag=on;"},
      {"items differing only in spaces are equal", "a = 1", "a=1; a =1; ", "a=1", "a=1;a=1;"},
      {"space inside a value removed", "", "a=x y; ", "a=xy", "a=xy;"},
      {"full-width space removed", "k=\xA1\xA1v", "", "k=v", ""},
      {"empty old item survives between items", ";a=1", "", "; a=1", ""},
      {"doubled separator keeps an empty piece", "a=1;;b=2", "", "a=1; ; b=2", ""},
      {"empty item written last disappears", "a=1;;", "", "a=1", ""},
      {"received cookies on a line without ;", "", "a=1; ; ", "a=1", "a=1;;"},
  };
  for (const auto& c : cases) {
    Text cookies = c.cookies, received = c.received;
    const Text result = MergeCookies(cookies, received);
    EXPECT_EQ(cookies, c.wantMerged)
        << c.name << ": cookies \"" << c.cookies << "\" received \"" << c.received << "\"";
    EXPECT_EQ(result, c.wantMerged) << c.name << ": result is a copy of the merged text";
    EXPECT_EQ(received, c.wantReceived) << c.name << ": written-back received text";
  }
}

TEST(CookieHelpersTest, CookieNameHasCookieNamedAndListContains) {
  const struct {
    Text item, name;
  } names[] = {{" sid = x", "sid"}, {"flag", "flag"}, {" flag ", "flag"},
               {"=v", ""},          {"a=b=c", "a"},   {"", ""}};
  for (const auto& c : names) EXPECT_EQ(CookieName(c.item), c.name) << "item \"" << c.item << "\"";

  const TextList list = {"a=1", " B=2", "c"};
  EXPECT_TRUE(HasCookieNamed(list, "B"));
  EXPECT_TRUE(HasCookieNamed(list, "c"));
  EXPECT_FALSE(HasCookieNamed(list, "b")) << "names are compared with case";
  EXPECT_FALSE(HasCookieNamed({}, ""));
  EXPECT_TRUE(ListContains(list, " B=2"));
  EXPECT_FALSE(ListContains(list, "B=2")) << "items are compared byte for byte";
}

TEST(CookieHelpersTest, RemoveDuplicateItems) {
  const struct {
    Text text, sep, want;
  } cases[] = {
      {"a; b; a", "; ", "a; b"}, {"", "; ", ""}, {"a;;a;", ";", "a;"}, {"x", "; ", "x"},
      {"a,b,a,c", ",", "a,b,c"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RemoveDuplicateItems(c.text, c.sep), c.want)
        << "text \"" << c.text << "\" sep \"" << c.sep << "\"";
  }
}

}  // namespace
}  // namespace quibo
