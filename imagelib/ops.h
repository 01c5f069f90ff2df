// The six operations the image library calls instead of the C library: memory, printing and
// driver control. Programs register them (or let imagelib_setup register the defaults); every
// part of the library goes through these pointers.
#pragma once

#include <cstddef>

using ImagelibMalloc = void* (*)(size_t size);
using ImagelibFree = void (*)(void* block);
using ImagelibMemset = void* (*)(void* block, int byte, size_t size);
using ImagelibMemcpy = void* (*)(void* destination, const void* source, size_t size);
using ImagelibPrint = int (*)(const char* format, ...);
using ImagelibIoctl = int (*)(int fd, unsigned long request, void* argument);

// The memory-operations record of imagelib_set_mem_ops, in this order.
struct ImagelibMemOps {
  ImagelibMalloc allocate;
  ImagelibFree release;
  ImagelibMemset fill;
  ImagelibMemcpy copy;
};

// Stores the four memory operations; a missing record is ignored.
void imagelib_set_mem_ops(const ImagelibMemOps* record);
void imagelib_set_print(ImagelibPrint operation);
void imagelib_set_ioctl(ImagelibIoctl operation);

namespace imagelib {

// The registered operations (process-wide; null until registered).
extern ImagelibMalloc _malloc;
extern ImagelibFree _free;
extern ImagelibMemset _memset;
extern ImagelibMemcpy _memcpy;
extern ImagelibPrint _printf;
extern ImagelibIoctl _ioctl;

// True when all six operations are registered.
bool ops_complete();

// What set-up and teardown register: the C library and the platform's driver control.
// Tests may change this record to make the defaults fail.
struct DefaultOps {
  ImagelibMemOps mem;
  ImagelibPrint print;
  ImagelibIoctl ioctl;
};
DefaultOps& default_ops();
void register_default_ops();

}  // namespace imagelib
