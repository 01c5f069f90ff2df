// The in-memory network values and their start values.
#include "nvtd/device/network_state.h"

namespace nvtd {

bool DnsManual = false;
std::string SearchDomain;
bool HttpReportedEnabled = false;
int32_t HttpReportedPort = 80;
bool RtspReportedEnabled = true;
int32_t RtspReportedPort = 554;

void reset_network_state() {
  DnsManual = false;
  SearchDomain.clear();
  HttpReportedEnabled = false;
  HttpReportedPort = 80;
  RtspReportedEnabled = true;
  RtspReportedPort = 554;
}

}  // namespace nvtd
