#include "support/ioerror.h"

#include <cerrno>

namespace torvane {

namespace {

// 0 for an errno without a runtime code of its own.
int RuntimeCodeOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kIoFileNotFound;
    case ENAMETOOLONG:
    case EINVAL:
      return kIoBadFileName;
    case EMFILE:
    case ENFILE:
      return kIoTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
      return kIoAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kIoDiskFull;
    default:
      return 0;
  }
}

}  // namespace

std::string IoErrorText(int code) {
  switch (code) {
    case kIoFileNotFound: return "ファイルが見つかりません";
    case kIoBadFileName: return "不正なファイル名です";
    case kIoTooManyOpenFiles: return "オープンしたファイルが多すぎます";
    case kIoAccessDenied: return "ファイルへのアクセスが拒否されました";
    case kIoEndOfFile: return "ファイルの末尾以降を読み込みました";
    case kIoDiskFull: return "ディスクがいっぱいです";
    case kIoNotNumeric: return "入力値が数値ではありません";
    default: return "I/O エラー (" + std::to_string(code) + ")";
  }
}

TIoError::TIoError(int code, std::string path) : TIoError(code, IoErrorText(code), std::move(path)) {}

TIoError::TIoError(int code, std::string text, std::string path)
    : std::runtime_error(path.empty() ? text : path + ": " + text),
      code_(code),
      text_(std::move(text)),
      path_(std::move(path)) {}

TIoError TIoError::FromErrno(int error, std::string path) {
  int code = RuntimeCodeOf(error);
  TIoError result = code != 0 ? TIoError(code, std::move(path))
                              : TIoError(error, "I/O エラー (" + std::to_string(error) + ")", std::move(path));
  result.errno_ = error;
  return result;
}

}  // namespace torvane
