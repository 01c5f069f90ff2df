// The image daemons' shared start-up (see daemon_start.h).
#include "imagelib/daemon_start.h"

#include <fcntl.h>

#include <csignal>
#include <cstdio>

#include "imagelib/platform/device.h"
#include "imagelib/setup.h"

namespace imagelib {

OptionTable::OptionTable(const OptionText* options, std::size_t count)
    : options_(options), count_(count) {
  for (std::size_t i = 0; i < count; ++i) {
    const bool argument = options[i].argument != nullptr;
    letters_.push_back(options[i].letter);
    if (argument) letters_.push_back(':');
    long_options_.push_back(
        {options[i].name, argument ? required_argument : no_argument, nullptr, options[i].letter});
  }
  long_options_.push_back({nullptr, 0, nullptr, 0});
}

void OptionTable::restart() const {
  opterr = 0;
  optind = 0;
}

int OptionTable::next(int argc, char** argv) const {
  return getopt_long(argc, argv, letters_.c_str(), long_options_.data(), nullptr);
}

void OptionTable::print_help(const char* program) const {
  printf("%s:\n", program);
  for (std::size_t i = 0; i < count_; ++i) {
    const OptionText& o = options_[i];
    printf("-%c --%s", o.letter, o.name);
    if (o.argument != nullptr) printf(" [%s]", o.argument);
    printf("\t%s\n", o.help);
  }
  printf("\n");
}

namespace {

volatile std::sig_atomic_t stop_flag = 0;

void request_stop(int) {
  stop_flag = 1;
}

}  // namespace

void install_stop_signals() {
  struct sigaction action = {};
  action.sa_handler = request_stop;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGQUIT, SIGTERM}) sigaction(sig, &action, nullptr);
}

bool stop_signalled() {
  return stop_flag != 0;
}

ImagingSession::ImagingSession() {
  if (imagelib_setup(0, 0) < 0) {
    perror("error on lib init:");
    return;
  }
  set_up_ = true;
  iav_ = platform::device_open("/dev/iav", O_RDWR);
  if (iav_ < 0) perror("error opening /dev/iav:");
}

ImagingSession::~ImagingSession() {
  if (iav_ >= 0) platform::device_close(iav_);
  if (set_up_) imagelib_teardown();
}

}  // namespace imagelib
