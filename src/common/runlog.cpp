#include "common/runlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <utility>

int RunLog::Open(const char* path, const char** reason) {
  Close();
  // O_NOFOLLOW: a PLANEX.LOG that is a symbolic link would otherwise have its target emptied and
  // overwritten by whoever runs planex.
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    file_ = ::fdopen(fd, "w");
    if (file_ == nullptr) ::close(fd);
  }
  if (file_ == nullptr) {
    if (reason != nullptr) *reason = std::strerror(errno);
    return -1;
  }
  // Line buffering hands every completed line to the file system at once.
  std::setvbuf(file_, nullptr, _IOLBF, BUFSIZ);
  return 0;
}

std::string Db_Reason_Text(const DbReason& reason) {
  if (reason.Empty()) return "";
  std::string text = "SQLSTATE " + Str_Escape(reason.sqlstate);
  if (reason.native != 0) text += ", Nr. " + std::to_string(reason.native);
  return text + ": " + Str_Escape(reason.message);
}

void RunErrorLines::Add(std::string_view line, DbReason reason) {
  ++count_;
  if (kept_.size() < keep_) kept_.push_back({std::string(line), std::move(reason)});
}

void RunLog::Close() {
  if (error_) errors_.Add(pending_, std::exchange(reason_, DbReason{}));
  error_ = false;
  pending_.clear();
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

void RunLog::Write(const char* fmt, ...) {
  // The text is formatted once, written as it is, and the lines it completes are looked at: an
  // error line is kept with its reason, which belongs to that line alone.
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, again);
  va_end(again);
  std::fwrite(text.data(), 1, text.size(), file_);
  pending_ += text;
  for (size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
    if (error_) errors_.Add(std::string_view(pending_).substr(0, end), std::exchange(reason_, DbReason{}));
    error_ = false;
  }
}
