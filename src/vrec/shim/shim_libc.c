/* The libc entry points the SG_IO shim replaces when it is preloaded into a
 * program: opening, examining and reading the virtual recorder's device
 * node, its ioctls, and the paths of its sysfs entry. Everything that is not
 * about the recorder goes straight to the next definition (libc). A file
 * descriptor is the recorder's when it refers to the stand-in file the shim
 * opens for the node, which survives fork, exec and dup. */

#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "vrec/shim/shim_core.h"

#define EXPORT __attribute__((visibility("default")))

#define REAL(name)                                              \
  static __typeof__(name)* real_##name;                         \
  if (real_##name == NULL) {                                    \
    real_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name);   \
  }

/* Entry points glibc no longer declares, still called by older binaries. */
int __xstat(int ver, const char* path, struct stat* st);
int __lxstat(int ver, const char* path, struct stat* st);
int __fxstat(int ver, int fd, struct stat* st);
int __fxstatat(int ver, int dirfd, const char* path, struct stat* st, int flags);
int __xstat64(int ver, const char* path, struct stat64* st);
int __lxstat64(int ver, const char* path, struct stat64* st);
int __fxstat64(int ver, int fd, struct stat64* st);
int __fxstatat64(int ver, int dirfd, const char* path, struct stat64* st, int flags);
int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dirfd, const char* path, int flags);
int __openat64_2(int dirfd, const char* path, int flags);

_Static_assert(sizeof(struct stat) == sizeof(struct stat64), "stat and stat64 share a layout");

static dev_t node_dev;
static ino_t node_ino;
static int node_known;

static int real_fstatat_call(int dirfd, const char* path, struct stat* st, int flags) {
  REAL(fstatat);
  return real_fstatat(dirfd, path, st, flags);
}

static void learn_node(void) {
  if (node_known) return;
  char marker[PATH_MAX];
  struct stat st;
  if (tmv_map_path(getenv("TIDEMARK_VREC_NODE") ? getenv("TIDEMARK_VREC_NODE") : "/dev/sr0",
                   marker, sizeof marker) == 2 &&
      real_fstatat_call(AT_FDCWD, marker, &st, 0) == 0) {
    node_dev = st.st_dev;
    node_ino = st.st_ino;
    node_known = 1;
  }
}

static int is_node_stat(const struct stat* st) {
  learn_node();
  return node_known && st->st_dev == node_dev && st->st_ino == node_ino;
}

static int is_virtual_fd(int fd) {
  if (fd < 0) return 0;
  struct stat st;
  REAL(fstat);
  if (real_fstat(fd, &st) != 0) return 0;
  return is_node_stat(&st);
}

/* ---- opening ---- */

static int open_mapped(int dirfd, const char* path, int flags, mode_t mode) {
  REAL(openat);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  if (kind == 2) {
    int e = tmv_open_allowed(flags);
    if (e < 0) {
      errno = -e;
      return -1;
    }
    flags &= ~(O_CREAT | O_EXCL | O_TRUNC | O_DIRECT | O_TMPFILE);
    return real_openat(AT_FDCWD, mapped, flags, 0);
  }
  return real_openat(dirfd, kind == 1 ? mapped : path, flags, mode);
}

static mode_t mode_arg(int flags, va_list ap) {
  return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(ap, int) : 0;
}

EXPORT int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = mode_arg(flags, ap);
  va_end(ap);
  return open_mapped(AT_FDCWD, path, flags, mode);
}

EXPORT int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = mode_arg(flags, ap);
  va_end(ap);
  return open_mapped(AT_FDCWD, path, flags | O_LARGEFILE, mode);
}

EXPORT int openat(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = mode_arg(flags, ap);
  va_end(ap);
  return open_mapped(dirfd, path, flags, mode);
}

EXPORT int openat64(int dirfd, const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  mode_t mode = mode_arg(flags, ap);
  va_end(ap);
  return open_mapped(dirfd, path, flags | O_LARGEFILE, mode);
}

EXPORT int __open_2(const char* path, int flags) { return open_mapped(AT_FDCWD, path, flags, 0); }
EXPORT int __open64_2(const char* path, int flags) {
  return open_mapped(AT_FDCWD, path, flags | O_LARGEFILE, 0);
}
EXPORT int __openat_2(int dirfd, const char* path, int flags) {
  return open_mapped(dirfd, path, flags, 0);
}
EXPORT int __openat64_2(int dirfd, const char* path, int flags) {
  return open_mapped(dirfd, path, flags | O_LARGEFILE, 0);
}
EXPORT int creat(const char* path, mode_t mode) {
  return open_mapped(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode);
}
EXPORT int creat64(const char* path, mode_t mode) {
  return open_mapped(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC | O_LARGEFILE, mode);
}

/* ---- examining ---- */

static int stat_mapped(int dirfd, const char* path, struct stat* st, int flags) {
  char mapped[PATH_MAX];
  if (path != NULL && path[0] == '\0' && (flags & AT_EMPTY_PATH)) {
    int r = real_fstatat_call(dirfd, path, st, flags);
    if (r == 0 && is_node_stat(st)) tmv_fake_stat(st);
    return r;
  }
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  int r = real_fstatat_call(dirfd, kind ? mapped : path, st, flags);
  if (r == 0 && kind == 2) tmv_fake_stat(st);
  return r;
}

EXPORT int stat(const char* path, struct stat* st) { return stat_mapped(AT_FDCWD, path, st, 0); }
EXPORT int lstat(const char* path, struct stat* st) {
  return stat_mapped(AT_FDCWD, path, st, AT_SYMLINK_NOFOLLOW);
}
EXPORT int fstatat(int dirfd, const char* path, struct stat* st, int flags) {
  return stat_mapped(dirfd, path, st, flags);
}
EXPORT int fstat(int fd, struct stat* st) {
  REAL(fstat);
  int r = real_fstat(fd, st);
  if (r == 0 && is_node_stat(st)) tmv_fake_stat(st);
  return r;
}
EXPORT int stat64(const char* path, struct stat64* st) { return stat(path, (struct stat*)st); }
EXPORT int lstat64(const char* path, struct stat64* st) { return lstat(path, (struct stat*)st); }
EXPORT int fstat64(int fd, struct stat64* st) { return fstat(fd, (struct stat*)st); }
EXPORT int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) {
  return stat_mapped(dirfd, path, (struct stat*)st, flags);
}
EXPORT int __xstat(int ver, const char* path, struct stat* st) {
  (void)ver;
  return stat(path, st);
}
EXPORT int __lxstat(int ver, const char* path, struct stat* st) {
  (void)ver;
  return lstat(path, st);
}
EXPORT int __fxstat(int ver, int fd, struct stat* st) {
  (void)ver;
  return fstat(fd, st);
}
EXPORT int __fxstatat(int ver, int dirfd, const char* path, struct stat* st, int flags) {
  (void)ver;
  return stat_mapped(dirfd, path, st, flags);
}
EXPORT int __xstat64(int ver, const char* path, struct stat64* st) {
  (void)ver;
  return stat(path, (struct stat*)st);
}
EXPORT int __lxstat64(int ver, const char* path, struct stat64* st) {
  (void)ver;
  return lstat(path, (struct stat*)st);
}
EXPORT int __fxstat64(int ver, int fd, struct stat64* st) {
  (void)ver;
  return fstat(fd, (struct stat*)st);
}
EXPORT int __fxstatat64(int ver, int dirfd, const char* path, struct stat64* st, int flags) {
  (void)ver;
  return stat_mapped(dirfd, path, (struct stat*)st, flags);
}

EXPORT int statx(int dirfd, const char* path, int flags, unsigned int mask, struct statx* st) {
  REAL(statx);
  char mapped[PATH_MAX];
  if (path != NULL && path[0] == '\0' && (flags & AT_EMPTY_PATH)) {
    int r = real_statx(dirfd, path, flags, mask, st);
    if (r == 0 && is_virtual_fd(dirfd)) tmv_fake_statx(st);
    return r;
  }
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  int r = real_statx(dirfd, kind ? mapped : path, flags, mask, st);
  if (r == 0 && kind == 2) tmv_fake_statx(st);
  return r;
}

EXPORT int access(const char* path, int mode) {
  REAL(access);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_access(kind ? mapped : path, mode);
}

EXPORT int faccessat(int dirfd, const char* path, int mode, int flags) {
  REAL(faccessat);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_faccessat(dirfd, kind ? mapped : path, mode, flags);
}

EXPORT int euidaccess(const char* path, int mode) {
  REAL(euidaccess);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_euidaccess(kind ? mapped : path, mode);
}

EXPORT int eaccess(const char* path, int mode) { return euidaccess(path, mode); }

EXPORT ssize_t readlink(const char* path, char* buf, size_t size) {
  REAL(readlink);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_readlink(kind ? mapped : path, buf, size);
}

EXPORT ssize_t readlinkat(int dirfd, const char* path, char* buf, size_t size) {
  REAL(readlinkat);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_readlinkat(dirfd, kind ? mapped : path, buf, size);
}

EXPORT char* realpath(const char* path, char* resolved) {
  REAL(realpath);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  if (kind == 2) { /* the node is where it says it is */
    if (strlen(path) >= PATH_MAX) {
      errno = ENAMETOOLONG;
      return NULL;
    }
    if (resolved == NULL) return strdup(path);
    strcpy(resolved, path);
    return resolved;
  }
  return real_realpath(kind ? mapped : path, resolved);
}

EXPORT char* canonicalize_file_name(const char* path) { return realpath(path, NULL); }

EXPORT DIR* opendir(const char* path) {
  REAL(opendir);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_opendir(kind == 1 ? mapped : path);
}

EXPORT int scandir(const char* path, struct dirent*** list, int (*filter)(const struct dirent*),
                   int (*compare)(const struct dirent**, const struct dirent**)) {
  REAL(scandir);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_scandir(kind == 1 ? mapped : path, list, filter, compare);
}

EXPORT int scandir64(const char* path, struct dirent64*** list,
                     int (*filter)(const struct dirent64*),
                     int (*compare)(const struct dirent64**, const struct dirent64**)) {
  REAL(scandir64);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  return real_scandir64(kind == 1 ? mapped : path, list, filter, compare);
}

/* ---- reading the disc as a block device ---- */

static ssize_t read_virtual(int fd, void* buf, size_t n) {
  REAL(lseek);
  off_t at = real_lseek(fd, 0, SEEK_CUR);
  if (at < 0) return -1;
  long long got = tmv_read_at(buf, n, at);
  if (got < 0) {
    errno = (int)-got;
    return -1;
  }
  real_lseek(fd, at + (off_t)got, SEEK_SET);
  return (ssize_t)got;
}

EXPORT ssize_t read(int fd, void* buf, size_t n) {
  REAL(read);
  if (is_virtual_fd(fd)) return read_virtual(fd, buf, n);
  return real_read(fd, buf, n);
}

EXPORT ssize_t pread(int fd, void* buf, size_t n, off_t offset) {
  REAL(pread);
  if (is_virtual_fd(fd)) {
    long long got = tmv_read_at(buf, n, offset);
    if (got < 0) {
      errno = (int)-got;
      return -1;
    }
    return (ssize_t)got;
  }
  return real_pread(fd, buf, n, offset);
}

EXPORT ssize_t pread64(int fd, void* buf, size_t n, off64_t offset) {
  return pread(fd, buf, n, (off_t)offset);
}

EXPORT ssize_t write(int fd, const void* buf, size_t n) {
  REAL(write);
  if (is_virtual_fd(fd)) { /* recorders are written with SCSI commands */
    errno = EROFS;
    return -1;
  }
  return real_write(fd, buf, n);
}

EXPORT off_t lseek(int fd, off_t offset, int whence) {
  REAL(lseek);
  if (whence == SEEK_END && is_virtual_fd(fd)) {
    long long size = tmv_device_size();
    if (size < 0) {
      errno = (int)-size;
      return -1;
    }
    return real_lseek(fd, (off_t)size + offset, SEEK_SET);
  }
  if ((whence == SEEK_DATA || whence == SEEK_HOLE) && is_virtual_fd(fd)) {
    errno = EINVAL;
    return -1;
  }
  return real_lseek(fd, offset, whence);
}

EXPORT off64_t lseek64(int fd, off64_t offset, int whence) {
  return (off64_t)lseek(fd, (off_t)offset, whence);
}

EXPORT int ioctl(int fd, unsigned long request, ...) {
  REAL(ioctl);
  va_list ap;
  va_start(ap, request);
  void* arg = va_arg(ap, void*);
  va_end(ap);
  if (is_virtual_fd(fd)) {
    long r = tmv_ioctl(request, arg);
    if (r < 0) {
      errno = (int)-r;
      return -1;
    }
    return (int)r;
  }
  return real_ioctl(fd, request, arg);
}

/* ---- stdio on the node ---- */

/* A stream on the node reads the recorder's block file, where every block
 * sits at its disc offset: libc reads a stream with calls this shim never
 * sees, and programs take fileno() of it for lseek and read. */
static FILE* open_node_stream(const char* mode, FILE* (*real_open)(const char*, const char*)) {
  char blocks[PATH_MAX];
  if (strchr(mode, 'w') != NULL || strchr(mode, 'a') != NULL || strchr(mode, '+') != NULL) {
    errno = EROFS;
    return NULL;
  }
  int e = tmv_open_allowed(0);
  if (e == 0) e = tmv_stream_path(blocks, sizeof blocks);
  if (e < 0) {
    errno = -e;
    return NULL;
  }
  return real_open(blocks, mode);
}

EXPORT FILE* fopen(const char* path, const char* mode) {
  REAL(fopen);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  if (kind == 2) return open_node_stream(mode, real_fopen);
  return real_fopen(kind ? mapped : path, mode);
}

EXPORT FILE* fopen64(const char* path, const char* mode) {
  REAL(fopen64);
  char mapped[PATH_MAX];
  int kind = path != NULL ? tmv_map_path(path, mapped, sizeof mapped) : 0;
  if (kind == 2) return open_node_stream(mode, real_fopen64);
  return real_fopen64(kind ? mapped : path, mode);
}

/* ---- extended attributes (ls -l asks for them) ---- */

#include <sys/xattr.h>

#define MAPPED_PATH_CALL(real, path, ...)                                        \
  do {                                                                           \
    char mapped_[PATH_MAX];                                                      \
    int kind_ = (path) != NULL ? tmv_map_path((path), mapped_, sizeof mapped_) : 0; \
    return real(kind_ ? mapped_ : (path), __VA_ARGS__);                          \
  } while (0)

EXPORT ssize_t getxattr(const char* path, const char* name, void* value, size_t size) {
  REAL(getxattr);
  MAPPED_PATH_CALL(real_getxattr, path, name, value, size);
}

EXPORT ssize_t lgetxattr(const char* path, const char* name, void* value, size_t size) {
  REAL(lgetxattr);
  MAPPED_PATH_CALL(real_lgetxattr, path, name, value, size);
}

EXPORT ssize_t listxattr(const char* path, char* list, size_t size) {
  REAL(listxattr);
  MAPPED_PATH_CALL(real_listxattr, path, list, size);
}

EXPORT ssize_t llistxattr(const char* path, char* list, size_t size) {
  REAL(llistxattr);
  MAPPED_PATH_CALL(real_llistxattr, path, list, size);
}
