/* The C side of the SG_IO shim (the libc entry points it replaces) calls
 * these; they are implemented in C++ over the recorder. */
#ifndef TIDEMARK_VREC_SHIM_CORE_H
#define TIDEMARK_VREC_SHIM_CORE_H

#include <stddef.h>
#include <sys/stat.h>

#ifdef __cplusplus
extern "C" {
#endif

struct statx;

/* Maps an absolute path the shim presents: 2 = the recorder's device node
 * (out: the file standing in for it), 1 = a path of its sysfs entry or of
 * /proc (out: where it really is), 0 = not ours. */
int tmv_map_path(const char* path, char* out, size_t out_size);

/* 0, or -errno when a blocking open must fail (no disc: ENOMEDIUM). */
int tmv_open_allowed(int flags);

/* Turns the stat of the stand-in file into that of the block device. */
void tmv_fake_stat(struct stat* st);
void tmv_fake_statx(struct statx* st);

/* The disc as a block device: its size in bytes and a read at a byte
 * offset. Both return -errno on failure. */
long long tmv_device_size(void);
long long tmv_read_at(void* buf, size_t n, long long offset);

/* The file holding the recorded blocks at their disc offsets, for stdio
 * streams on the node (their reads never pass through this shim). */
int tmv_stream_path(char* out, size_t out_size);

/* An ioctl on the device node: returns its result, or -errno. */
long tmv_ioctl(unsigned long request, void* arg);

#ifdef __cplusplus
}
#endif

#endif
