// Input/output errors as the runtime reports them: a numeric code and its Japanese text.
#pragma once

#include <stdexcept>
#include <string>

namespace torvane {

enum : int {
  kIoFileNotFound = 2,
  kIoBadFileName = 3,
  kIoTooManyOpenFiles = 4,
  kIoAccessDenied = 5,
  kIoEndOfFile = 100,
  kIoDiskFull = 101,
  kIoNotNumeric = 106,
};

// The runtime's text for a code (UTF-8), e.g. "ファイルが見つかりません" for 2.
std::string IoErrorText(int code);

class TIoError : public std::runtime_error {
 public:
  // path is the file concerned, for messages; may be empty.
  TIoError(int code, std::string path);
  // The well-known errno values take their runtime codes (ENOENT is 2, ENOSPC is 101, ...); any
  // other errno e keeps e as its code and reads "I/O エラー (e)", even where e equals a runtime code.
  static TIoError FromErrno(int error, std::string path);

  int Code() const { return code_; }
  // The errno behind the error; 0 when it did not come from the system.
  int Errno() const { return errno_; }
  const std::string& Path() const { return path_; }
  // The runtime's text for the error, without the path.
  const std::string& Text() const { return text_; }

 private:
  TIoError(int code, std::string text, std::string path);

  int code_;
  int errno_ = 0;
  std::string text_;
  std::string path_;
};

}  // namespace torvane
