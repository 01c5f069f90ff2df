// nvtd: the camera's ONVIF network video transmitter service (CGI program, persistent relay
// server or stand-alone HTTP server).
#include "nvtd/app/service.h"
#include "nvtd/app/wiring.h"

int main(int argc, char** argv) {
  return nvtd::run_nvtd(argc, argv, nvtd::make_service_wiring());
}
