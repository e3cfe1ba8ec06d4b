#pragma once
// The one base of every error the program raises. Errors carry only a text; their class name is
// part of the observable behaviour (wrapping forms and log lines print it, a start error's class
// name is the caption of its message box), so every class names itself through ClassName().
#include <exception>
#include <string>

namespace plb {

class Error : public std::exception {
 public:
  explicit Error(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// Declares an error class that derives from Base and names itself Name.
#define PLB_DECLARE_ERROR(Name, Base)                                   \
  class Name : public Base {                                            \
   public:                                                              \
    using Base::Base;                                                   \
    const char* ClassName() const noexcept override { return #Name; } \
  }

// Fixed names of library-level errors.
PLB_DECLARE_ERROR(ERangeError, Error);
PLB_DECLARE_ERROR(EReadError, Error);
PLB_DECLARE_ERROR(EWriteError, Error);
PLB_DECLARE_ERROR(EOutOfMemory, Error);
PLB_DECLARE_ERROR(ERegistryException, Error);
// A silent abort: "there is nothing here" or "stop this load", not a fault to report.
PLB_DECLARE_ERROR(EAbort, Error);

// The class name of any caught error: ours name themselves; std::bad_alloc is "EOutOfMemory";
// everything else is "Exception".
std::string ClassNameOf(const std::exception& e);

// The message of any caught error.
std::string MessageOf(const std::exception& e);

}  // namespace plb
