// loader.exe's own definitions of the helpers through which the standard library's headers raise
// their errors (a string or vector index out of range, a length past max_size(), ...). The
// library's definitions (libstdc++'s functexcept.o) throw std::logic_error and its kin, whose
// message members are the old-ABI string: linking them brings about 80 KB of string code into a
// download that never uses it. Here the same texts reach the error display as the framework's
// Exception; the errors without a text keep their standard type.
//
// Only the loader's link sees this file (loader/CMakeLists.txt). Its price: in loader.exe these
// errors cannot be caught by their standard type, so loader code catches Exception or
// std::exception. Should the toolchain change, nothing goes quiet: a helper the headers call
// that is not defined here brings functexcept.o back, whose definitions clash with these at the
// link; helpers the headers no longer call leave the string code in, and the size check of
// loader.exe (tests/loader) fails; tests/loader/StandardThrowsTest.cpp checks the texts.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <iterator>
#include <new>
#include <string>
#include <typeinfo>

#include <varn/framework/Exceptions.h>

namespace {

[[noreturn]] void Raise(const char* Message) {
  throw varn::Exception(Message);
}

// The standard library's formats use %s, %zu and %% only.
std::string FormatMessage(const char* Format, va_list Arguments) {
  std::string Text;
  for (; *Format; ++Format) {
    if (*Format != '%') {
      Text += *Format;
    } else if (Format[1] == 's') {
      Text += va_arg(Arguments, const char*);
      ++Format;
    } else if (Format[1] == 'z' && Format[2] == 'u') {
      char Digits[24];
      char* First = std::end(Digits);
      for (size_t Value = va_arg(Arguments, size_t);; Value /= 10) {
        *--First = static_cast<char>('0' + Value % 10);
        if (Value < 10) break;
      }
      Text.append(First, std::end(Digits));
      Format += 2;
    } else {
      Text += '%';
      if (Format[1] == '%') ++Format;
    }
  }
  return Text;
}

}  // namespace

namespace std {

void __throw_bad_exception() {
  throw bad_exception();
}
void __throw_bad_alloc() {
  throw bad_alloc();
}
void __throw_bad_array_new_length() {
  throw bad_array_new_length();
}
void __throw_bad_cast() {
  throw bad_cast();
}
void __throw_bad_typeid() {
  throw bad_typeid();
}
void __throw_logic_error(const char* Message) {
  Raise(Message);
}
void __throw_domain_error(const char* Message) {
  Raise(Message);
}
void __throw_invalid_argument(const char* Message) {
  Raise(Message);
}
void __throw_length_error(const char* Message) {
  Raise(Message);
}
void __throw_out_of_range(const char* Message) {
  Raise(Message);
}
void __throw_out_of_range_fmt(const char* Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  std::string Message = FormatMessage(Format, Arguments);
  va_end(Arguments);
  throw varn::Exception(std::move(Message));
}
void __throw_runtime_error(const char* Message) {
  Raise(Message);
}
void __throw_range_error(const char* Message) {
  Raise(Message);
}
void __throw_overflow_error(const char* Message) {
  Raise(Message);
}
void __throw_underflow_error(const char* Message) {
  Raise(Message);
}

}  // namespace std
