// fixed_answer_cgi: the floor of the relay benchmark. A CGI program that reads its request
// body and prints a fixed answer of the size nvtd gives GetSystemDateAndTime, with its heads, built
// like the forwarder (plain C library code, static where the toolchain can): what any CGI program
// costs the web server, with nothing behind it.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

constexpr char kBody[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.o"
    "rg/2003/05/soap-envelope\" xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" xmlns:tt=\"h"
    "ttp://www.onvif.org/ver10/schema\"><SOAP-ENV:Body><tds:GetSystemDateAndTimeResponse><tds:"
    "SystemDateAndTime><tt:DateTimeType>Manual</tt:DateTimeType><tt:DaylightSavings>false</tt"
    ":DaylightSavings><tt:TimeZone><tt:TZ>UTC0</tt:TZ></tt:TimeZone><tt:UTCDateTime><tt:Time>"
    "<tt:Hour>8</tt:Hour><tt:Minute>38</tt:Minute><tt:Second>3</tt:Second></tt:Time><tt:Date>"
    "<tt:Year>2026</tt:Year><tt:Month>12</tt:Month><tt:Day>8</tt:Day></tt:Date></tt:UTCDateTi"
    "me><tt:LocalDateTime><tt:Time><tt:Hour>8</tt:Hour><tt:Minute>38</tt:Minute><tt:Second>3<"
    "/tt:Second></tt:Time><tt:Date><tt:Year>2026</tt:Year><tt:Month>12</tt:Month><tt:Day>8</t"
    "t:Day></tt:Date></tt:LocalDateTime></tds:SystemDateAndTime></tds:GetSystemDateAndTimeRes"
    "ponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

char answer[128 + sizeof kBody];
char input[50000];

}  // namespace

int main() {
  const char* length_text = getenv("CONTENT_LENGTH");
  long length = length_text != nullptr ? strtol(length_text, nullptr, 10) : 0;
  for (long got = 0; length > 0 && size_t(length) <= sizeof input && got < length;) {
    ssize_t n = read(0, input + got, size_t(length - got));
    if (n <= 0) break;
    got += n;
  }
  size_t body_size = sizeof kBody - 1;
  char digits[16];
  size_t at = sizeof digits;
  do {
    digits[--at] = char('0' + body_size % 10);
    body_size /= 10;
  } while (body_size > 0);
  size_t used = 0;
  auto put = [&used](const char* text, size_t n) {
    memcpy(answer + used, text, n);
    used += n;
  };
  put("Content-Length: ", 16);
  put(digits + at, sizeof digits - at);
  constexpr char kRest[] =
      "\r\nContent-Type: application/soap+xml; charset=utf-8\r\nConnection: close\r\n\r\n";
  put(kRest, sizeof kRest - 1);
  put(kBody, sizeof kBody - 1);
  // In one write, as the forwarder passes on an answer of this size.
  return write(1, answer, used) == ssize_t(used) ? 0 : 1;
}
