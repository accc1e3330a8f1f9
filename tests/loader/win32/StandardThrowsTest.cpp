// loader.exe's throw helpers (loader/win32/StandardThrows.cpp), linked here as in the loader: the
// standard library's errors arrive as the framework's Exception, with the library's own texts.
#include <gtest/gtest.h>

#include <bitset>
#include <functional>
#include <string>
#include <vector>

#include <varn/framework/Exceptions.h>

namespace {

TEST(StandardThrows, LibraryErrorsArriveAsExceptionWithTheirTexts) {
  const struct {
    std::function<void()> Fail;
    const char* Text;
  } Cases[] = {
      {[] { (void)std::vector<int>(2).at(3); },
       "vector::_M_range_check: __n (which is 3) >= this->size() (which is 2)"},
      {[] { (void)std::string("abc").substr(5); },
       "basic_string::substr: __pos (which is 5) > this->size() (which is 3)"},
      {[] {
         std::string Text;
         Text.reserve(Text.max_size() + 1);
       },
       "basic_string::_M_create"},
      {[] { (void)std::bitset<4>(std::string("12")); }, "bitset::_M_copy_from_ptr"},
  };
  for (const auto& Case : Cases) {
    try {
      Case.Fail();
      ADD_FAILURE() << "no error for: " << Case.Text;
    } catch (const varn::Exception& E) {
      EXPECT_EQ(E.Message(), Case.Text);
    }
  }
}

}  // namespace
