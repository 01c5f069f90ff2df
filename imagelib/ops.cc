// The registered operations and their setters.
#include "imagelib/ops.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imagelib/platform/device.h"

namespace imagelib {

ImagelibMalloc _malloc = nullptr;
ImagelibFree _free = nullptr;
ImagelibMemset _memset = nullptr;
ImagelibMemcpy _memcpy = nullptr;
ImagelibPrint _printf = nullptr;
ImagelibIoctl _ioctl = nullptr;

bool ops_complete() {
  return _malloc && _free && _memset && _memcpy && _printf && _ioctl;
}

DefaultOps& default_ops() {
  static DefaultOps ops = {
      {std::malloc, std::free, std::memset, std::memcpy}, std::printf, platform::device_ioctl};
  return ops;
}

void register_default_ops() {
  imagelib_set_mem_ops(&default_ops().mem);
  imagelib_set_print(default_ops().print);
  imagelib_set_ioctl(default_ops().ioctl);
}

}  // namespace imagelib

void imagelib_set_mem_ops(const ImagelibMemOps* record) {
  if (record == nullptr) return;
  imagelib::_malloc = record->allocate;
  imagelib::_free = record->release;
  imagelib::_memset = record->fill;
  imagelib::_memcpy = record->copy;
}

void imagelib_set_print(ImagelibPrint operation) {
  imagelib::_printf = operation;
}

void imagelib_set_ioctl(ImagelibIoctl operation) {
  imagelib::_ioctl = operation;
}
