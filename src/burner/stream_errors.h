#pragma once
// File input/output failures, the one kind of failure the component raises
// as an exception instead of a Boolean result: a target that cannot be
// created, a write that does not go through. The text names the file and
// the system's reason.

#include <stdexcept>
#include <string>

class EStreamError : public std::runtime_error {
 public:
  EStreamError(const std::string& Text, int Error) : std::runtime_error(Text), error_(Error) {}
  int Error() const { return error_; }  // errno

 private:
  int error_;
};

class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
