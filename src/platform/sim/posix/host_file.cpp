// Plain files of the simulated world on a POSIX host: real bytes in real
// files, opened the way the program's flags ask (direct and synchronous I/O
// where the file system honours them), with the platform's error codes.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sim/sim_io.h"

namespace sim {

using namespace plat;

namespace {

std::string Utf8(const std::u16string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The platform's code for what the host said.
DWORD CodeOf(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_PATH_NOT_FOUND;
    default: return 31;  // ERROR_GEN_FAILURE
  }
}

class HostFile : public IoObject {
 public:
  explicit HostFile(int fd) : fd_(fd) {}
  ~HostFile() override { ::close(fd_); }

  bool ReadAt(LONGLONG position, void* buffer, DWORD size, DWORD* read, DWORD& error) override {
    ssize_t n = ::pread(fd_, buffer, size, position);
    if (n < 0) {
      error = CodeOf(errno);
      return false;
    }
    *read = static_cast<DWORD>(n);
    return true;
  }
  bool WriteAt(LONGLONG position, const void* buffer, DWORD size, DWORD* written,
               DWORD& error) override {
    DWORD done = 0;
    while (done < size) {
      ssize_t n = ::pwrite(fd_, static_cast<const char*>(buffer) + done, size - done,
                           position + done);
      if (n <= 0) {
        error = n < 0 ? CodeOf(errno) : ERROR_DISK_FULL;
        return false;
      }
      done += static_cast<DWORD>(n);
    }
    *written = done;
    return true;
  }
  bool Size(LONGLONG& size, DWORD& error) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      error = CodeOf(errno);
      return false;
    }
    size = st.st_size;
    return true;
  }
  bool SetSize(LONGLONG size, DWORD& error) override {
    if (::ftruncate(fd_, size) != 0) {
      error = CodeOf(errno);
      return false;
    }
    return true;
  }

 private:
  int fd_;
};

// ENOENT names the file when its folder exists, else the path (as the
// platform tells them apart).
DWORD MissingCode(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return ERROR_FILE_NOT_FOUND;
  struct stat st {};
  bool folder = ::stat(path.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace

std::unique_ptr<IoObject> OpenHostFile(const std::u16string& hostPath, const OpenRequest& request,
                                       DWORD& error) {
  const std::string path = Utf8(hostPath);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    error = ERROR_ACCESS_DENIED;  // as CreateFile answers for a directory
    return nullptr;
  }
  bool reads = request.access & (GENERIC_READ | FILE_READ_DATA);
  bool writes = request.access & GENERIC_WRITE;
  int flags = O_CLOEXEC | (writes ? (reads ? O_RDWR : O_WRONLY) : O_RDONLY);
  switch (request.disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default: error = ERROR_INVALID_PARAMETER; return nullptr;
  }
  if (request.flags & FILE_FLAG_WRITE_THROUGH) flags |= O_DSYNC;
  int fd = -1;
  if (request.flags & FILE_FLAG_NO_BUFFERING) {
    fd = ::open(path.c_str(), flags | O_DIRECT, 0644);
    // A file system without direct I/O (tmpfs) still holds the file.
    if (fd < 0 && errno == EINVAL) fd = ::open(path.c_str(), flags, 0644);
  } else {
    fd = ::open(path.c_str(), flags, 0644);
  }
  if (fd < 0) {
    error = errno == ENOENT ? MissingCode(path) : CodeOf(errno);
    return nullptr;
  }
  return std::make_unique<HostFile>(fd);
}

DWORD HostFileAttributes(const std::u16string& hostPath, DWORD& error) {
  struct stat st {};
  const std::string path = Utf8(hostPath);
  if (::stat(path.c_str(), &st) != 0) {
    error = errno == ENOENT ? MissingCode(path) : CodeOf(errno);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  return 0x20;  // FILE_ATTRIBUTE_ARCHIVE, as a freshly written file has
}

bool HostDeleteFile(const std::u16string& hostPath, DWORD& error) {
  const std::string path = Utf8(hostPath);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  if (::unlink(path.c_str()) != 0) {
    error = errno == ENOENT ? MissingCode(path) : CodeOf(errno);
    return false;
  }
  return true;
}

bool HostDiskSpace(const std::u16string& hostFolder, HostSpace& space, DWORD& error) {
  struct statvfs vfs {};
  if (::statvfs(Utf8(hostFolder).c_str(), &vfs) != 0) {
    error = CodeOf(errno);
    return false;
  }
  const ULONGLONG unit = vfs.f_frsize;
  space.freeToCaller = vfs.f_bavail * unit;
  space.totalFree = vfs.f_bfree * unit;
  space.total = vfs.f_blocks * unit;
  space.bytesPerSector = 512;
  space.sectorsPerCluster = static_cast<DWORD>(unit >= 512 ? unit / 512 : 1);
  auto clusters = [](ULONGLONG n) { return static_cast<DWORD>(n > 0xFFFFFFFFull ? 0xFFFFFFFFull : n); };
  space.freeClusters = clusters(vfs.f_bavail);
  space.totalClusters = clusters(vfs.f_blocks);
  return true;
}

}  // namespace sim
