#include "common/runlog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

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

void RunLog::Close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

void RunLog::Write(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::vfprintf(file_, fmt, args);
  va_end(args);
}
