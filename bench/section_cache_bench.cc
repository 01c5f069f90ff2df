// bench-libs: nvtd_getset
// The cost of one authenticated request's section cache: at most eight settings-server
// connections plus the NETWORK build (each section got on first use), against the settings
// stand-in on loopback, with one bare connect-and-get as the baseline. Runs inside the camera
// sandbox:
//   testbed/sandbox build/host/bench/section_cache_bench

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "common/unique_fd.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/getset/settings_client.h"
#include "nvtd/getset/settings_wire.h"
#include "nvtd/netconfig/config_reads.h"
#include "nvtd/netconfig/interface_info.h"

namespace {

// One get of INFO over a plain socket: connect, request, reply header and text, close.
bool bare_exchange() {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(20004);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
  std::string request = nvtd::encode_request(nvtd::kCommandGet, 0, "INFO");
  if (nvtd::write_all(fd.get(), request.data(), request.size()) != request.size()) return false;
  unsigned char head[nvtd::kReplyBytes];
  if (!nvtd::read_all(fd.get(), head, sizeof head)) return false;
  std::string text(nvtd::decode_reply(head).length, '\0');
  return nvtd::read_all(fd.get(), text.data(), text.size());
}

void BM_BareExchange(benchmark::State& state) {
  for (auto _ : state) {
    if (!bare_exchange()) state.SkipWithError("exchange failed");
  }
}
BENCHMARK(BM_BareExchange)->UseRealTime();

void BM_GetSection(benchmark::State& state) {
  for (auto _ : state) {
    nvtd::SettingsClient client;
    if (client.GetSection("INFO") != 0) state.SkipWithError("get failed");
  }
}
BENCHMARK(BM_GetSection)->UseRealTime();

void BM_NetworkBuild(benchmark::State& state) {
  for (auto _ : state) {
    nvtd::SettingsClient client;
    client.GetSection("NETWORK");
  }
}
BENCHMARK(BM_NetworkBuild)->UseRealTime();

// The parts of the NETWORK build: the kernel requests and the two files it reads.
void BM_NetworkKernelReads(benchmark::State& state) {
  std::string text;
  for (auto _ : state) {
    nvtd::read_ipv4_address(&text);
    nvtd::read_netmask(&text);
  }
}
BENCHMARK(BM_NetworkKernelReads)->UseRealTime();

void BM_NetworkDhcpFromInterfacesFile(benchmark::State& state) {
  int dhcp;
  for (auto _ : state) nvtd::read_dhcp_state(&dhcp);
}
BENCHMARK(BM_NetworkDhcpFromInterfacesFile)->UseRealTime();

void BM_NetworkGatewayFromRouteTable(benchmark::State& state) {
  std::string gateway;
  for (auto _ : state) nvtd::read_default_gateway(&gateway);
}
BENCHMARK(BM_NetworkGatewayFromRouteTable)->UseRealTime();

// Every section read once in one request: the most a request can cost.
void BM_SectionCacheFill(benchmark::State& state) {
  for (auto _ : state) {
    nvtd::section_cache_fill();
    for (int i = 0; i < nvtd::kCachedSections; ++i) {
      benchmark::DoNotOptimize(nvtd::section(static_cast<nvtd::SectionId>(i)));
    }
    nvtd::section_cache_release();
  }
}
BENCHMARK(BM_SectionCacheFill)->UseRealTime();

// A request that reads INFO only (GetDeviceInformation).
void BM_SectionCacheInfoOnly(benchmark::State& state) {
  for (auto _ : state) {
    nvtd::section_cache_fill();
    benchmark::DoNotOptimize(nvtd::section(nvtd::SectionId::kInfo));
    nvtd::section_cache_release();
  }
}
BENCHMARK(BM_SectionCacheInfoOnly)->UseRealTime();

// Prints every result as a ratio to the baseline after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto base = times_.find("BM_BareExchange/real_time");
    if (base == times_.end() || base->second <= 0) return;
    std::printf("\nratio to one bare connect+get (BM_BareExchange):\n");
    for (const auto& [name, time] : times_) {
      std::printf("  %-36s %8.2f\n", name.c_str(), time / base->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

pid_t start_settingsd() {
  pid_t pid = ::fork();
  if (pid == 0) {
    std::string script = std::string(CAMERA_SOURCE_DIR) + "/testbed/settingsd/settingsd.py";
    ::execl("/usr/bin/python3", "python3", script.c_str(), "--state", "/run/settingsd-bench",
            "--addresses", "127.0.0.1", static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 100; ++i) {
    if (bare_exchange()) return pid;
    ::usleep(100 * 1000);
  }
  ::kill(pid, SIGTERM);
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* sandbox = std::getenv("SANDBOX");
  if (sandbox == nullptr || std::strcmp(sandbox, "1") != 0) {
    std::fprintf(stderr, "section_cache_bench: run inside testbed/sandbox\n");
    return 2;
  }
  pid_t server = start_settingsd();
  if (server < 0) {
    std::fprintf(stderr, "section_cache_bench: settings stand-in did not start\n");
    return 1;
  }
  ::freopen("/dev/null", "w", stderr);  // perror noise of failed reads
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);
  return 0;
}
