// What of the C++ run-time the Windows DLL replaces, to stay small.
//
// Characters carry their modules inside every update they publish, so every
// kilobyte of the DLL is downloaded again by every user. Two pieces of the
// run-time cost far more than they give a module inside a windowed host:
//
// - The default terminate handler names the uncaught exception's type on standard
//   error, for which it links in a symbol demangler and a printf (some 75 KB). A
//   host has no standard error to write to, and both handlers end the process the
//   same way. std::terminate is reached only if an exception escapes a noexcept
//   function or a destructor; the exports catch everything else.
// - The run-time raises its own errors (a string or vector grown past its maximum
//   size, a position out of range) through the std::__throw_* functions, which all
//   live in one object that refers to every standard exception class. Those
//   classes keep their message in the old reference-counted string, so the one
//   object brings a second whole string implementation with it (some 45 KB). Here
//   the errors the DLL can meet are raised as exceptions that hold no string: the
//   exports and the worker catch every exception alike, so nothing tells the
//   difference. Should a new use of the library need another of these functions,
//   the link fails on a second definition of the ones below, never silently.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>

namespace {

// A run-time error with its message, which is always a string literal.
class RunTimeError : public std::exception {
 public:
  explicit RunTimeError(const char* message) : message_(message) {}
  const char* what() const noexcept override { return message_; }

 private:
  const char* message_;
};

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char* message) { throw RunTimeError(message); }
void __throw_logic_error(const char* message) { throw RunTimeError(message); }
void __throw_out_of_range(const char* message) { throw RunTimeError(message); }
void __throw_out_of_range_fmt(const char* format, ...) { throw RunTimeError(format); }
void __throw_invalid_argument(const char* message) { throw RunTimeError(message); }

}  // namespace std
