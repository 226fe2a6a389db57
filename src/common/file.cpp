#include "common/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool File_Replace(const std::string& path, std::string_view text, int mode, std::string* error) {
  const std::string tmp = path + ".tmp";
  auto fail = [&](bool remove_tmp) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    if (remove_tmp) ::unlink(tmp.c_str());
    return false;
  };
  // O_EXCL with O_CREAT never opens what is there already, a symbolic link included: a left-over
  // path.tmp of someone else's stays as it is and the write fails.
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode < 0 ? 0666 : mode);
  if (fd < 0) {
    if (errno == EEXIST) {
      *error = "cannot write " + path + ": " + tmp + " exists already; remove it if no other write is running";
      return false;
    }
    return fail(false);
  }
  // The umask may only take bits away; a mode asked for is set on the descriptor, so that it holds
  // whatever the umask.
  if (mode >= 0 && ::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return fail(true);
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int saved = errno;
      ::close(fd);
      errno = saved;
      return fail(true);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return fail(true);
  }
  if (::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) return fail(true);
  return true;
}
