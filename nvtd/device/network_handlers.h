// Every network configuration and device control handler, for the action table.
#pragma once

#include "nvtd/device/discovery_mode.h"
#include "nvtd/device/dns.h"
#include "nvtd/device/gateway.h"
#include "nvtd/device/hostname.h"
#include "nvtd/device/network_interfaces.h"
#include "nvtd/device/network_protocols.h"
#include "nvtd/device/ntp.h"
#include "nvtd/device/system_control.h"
#include "nvtd/device/zero_configuration.h"
