// libvornapi: the event-management connection. Each announcement is
// recorded as one line of "ems.events" in the appliance root.
#include <errno.h>

#include <mutex>
#include <string>

#include "appliance_files.h"
#include "vornapi.h"

namespace platform {

namespace {

const char kEventsFile[] = "ems.events";
// Response packet: type at byte 0, request code at byte 6 (big-endian).
const uint16_t kPacketTypeResponse = 1;
const uint32_t kRequestIpChange = 1;

std::mutex g_emsMutex;
bool g_open = false;
EmsPacketHandler g_handler = nullptr;

int recordEvent(const std::string& line) {
  return appendToFile(appliancePath(kEventsFile), line + '\n');
}

sEmsPacket ipChangeResponse() {
  sEmsPacket packet = {};
  packet.bytes[0] = static_cast<unsigned char>(kPacketTypeResponse >> 8);
  packet.bytes[1] = static_cast<unsigned char>(kPacketTypeResponse);
  for (int i = 0; i < 4; ++i) {
    packet.bytes[6 + i] = static_cast<unsigned char>(kRequestIpChange >> (8 * (3 - i)));
  }
  return packet;
}

}  // namespace

}  // namespace platform

int EmsConnectionOpen(int reserved, EmsPacketHandler handler) {
  using namespace platform;
  std::lock_guard<std::mutex> lock(g_emsMutex);
  if (g_open) return EALREADY;
  int rc = recordEvent("EmsConnectionOpen\t" + std::to_string(reserved));
  if (rc != 0) return rc;
  g_open = true;
  g_handler = handler;
  return 0;
}

int EmsIpAddressChange(int reserved1, int reserved2, int reserved3) {
  using namespace platform;
  EmsPacketHandler handler;
  {
    std::lock_guard<std::mutex> lock(g_emsMutex);
    if (!g_open) return ENOTCONN;
    int rc = recordEvent("EmsIpAddressChange\t" + std::to_string(reserved1) + '\t' +
                         std::to_string(reserved2) + '\t' + std::to_string(reserved3));
    if (rc != 0) return rc;
    handler = g_handler;
  }
  // Acknowledge the request with a response packet, outside the lock.
  if (handler != nullptr) {
    sEmsPacket packet = ipChangeResponse();
    int answer = handler(&packet);
    std::lock_guard<std::mutex> lock(g_emsMutex);
    recordEvent("EmsPacketHandler\t" + std::to_string(answer));
  }
  return 0;
}

int EmsConnectionClose(void) {
  using namespace platform;
  std::lock_guard<std::mutex> lock(g_emsMutex);
  if (!g_open) return ENOTCONN;
  g_open = false;
  g_handler = nullptr;
  return recordEvent("EmsConnectionClose");
}
