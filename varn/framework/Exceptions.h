#pragma once
// The framework's exception classes. Every error of the program is one of these or derives
// from them; the error display shows Message() as it stands.
#include <exception>
#include <string>

namespace varn {

class Exception : public std::exception {
 public:
  explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// The silent exception: the error display shows nothing for it, and Extract returns quietly.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// Raised by the date and time conversions of the run-time library.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// A file stream whose file could not be opened ("Cannot open file NAME").
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& FileName)
      : EStreamError("Cannot open file " + FileName) {}
};

// A file stream whose file could not be created ("Cannot create file NAME").
class EFCreateError : public EStreamError {
 public:
  explicit EFCreateError(const std::string& FileName)
      : EStreamError("Cannot create file " + FileName) {}
};

// ReadBuffer got fewer bytes than it asked for.
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
};

// WriteBuffer stored fewer bytes than it was given.
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
};

}  // namespace varn
