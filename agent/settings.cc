#include "settings.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "openwbem/Logger.h"
#include "openwbem/ProviderAgent.h"

namespace {

const unsigned long kPassLengthMaxMs = 3600 * 1000;
const unsigned long kRouterCheckPassesMax = 1000;
const unsigned long kLeaseFileLimitMax = 1ul << 30;
const unsigned long kProbeIntervalMaxSeconds = 24 * 3600;

// Every key of the agent's configuration file, with what its value must
// be.
enum class SettingKind { Text, LogLevel, Number };
struct SettingKey {
  const char* key;
  SettingKind kind;
  unsigned long max;  // Number: from 1 to max
};
const SettingKey kSettingKeys[] = {
    {OpenWBEM::ProviderAgent::HTTP_SERVER_UDS_FILENAME_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_HTTP_PORT_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_HTTPS_PORT_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_LISTEN_ADDRESSES_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_BASIC_PASSWORD_FILE_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_SSL_CERT_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_SSL_KEY_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_MAX_CONNECTIONS_PER_CLIENT_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_MAX_UDS_CONNECTIONS_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::HTTP_SERVER_TIMEOUT_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::PROVIDER_AGENT_MOF_FILE_opt, SettingKind::Text, 0},
    {OpenWBEM::ProviderAgent::PROVIDER_AGENT_NAMESPACES_opt, SettingKind::Text, 0},
    {kCallbackUrlItem, SettingKind::Text, 0},
    {kLogLocationItem, SettingKind::Text, 0},
    {kLogLevelItem, SettingKind::LogLevel, 0},
    {kPassLengthItem, SettingKind::Number, kPassLengthMaxMs},
    {kRouterCheckPassesItem, SettingKind::Number, kRouterCheckPassesMax},
    {kPoolRaiseItem, SettingKind::Number, 100},
    {kPoolClearItem, SettingKind::Number, 100},
    {kProbeIntervalItem, SettingKind::Number, kProbeIntervalMaxSeconds},
    {kLeaseFileLimitItem, SettingKind::Number, kLeaseFileLimitMax},
};

bool isLogLevel(const OpenWBEM::String& text) {
  for (int level = OpenWBEM::Logger::E_NONE_LEVEL; level <= OpenWBEM::Logger::E_ALL_LEVEL; ++level) {
    if (strcasecmp(text.c_str(),
                   OpenWBEM::Logger::levelName(static_cast<OpenWBEM::Logger::ELogLevel>(level))) == 0)
      return true;
  }
  return false;
}

// A positive decimal number up to max.
bool isNumberUpTo(const OpenWBEM::String& text, unsigned long max) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  unsigned long value = strtoul(begin, &end, 10);
  return errno == 0 && end != begin && *end == '\0' && *begin >= '0' && *begin <= '9' && value != 0 &&
         value <= max;
}

}  // namespace

OpenWBEM::ConfigFile::ItemVerdict dhcpCompCheckSetting(const OpenWBEM::String& key,
                                                       const OpenWBEM::String& value,
                                                       OpenWBEM::String& reason) {
  using OpenWBEM::ConfigFile::ItemVerdict;
  for (const SettingKey& setting : kSettingKeys) {
    if (strcmp(setting.key, key.c_str()) != 0) continue;
    if (setting.kind == SettingKind::LogLevel && !isLogLevel(value)) {
      reason = "unknown log level \"" + value + "\"";
      return ItemVerdict::Invalid;
    }
    if (setting.kind == SettingKind::Number && !value.empty() && !isNumberUpTo(value, setting.max)) {
      reason = "\"" + value + "\" is not a number from 1 to " + OpenWBEM::String(std::to_string(setting.max));
      return ItemVerdict::Invalid;
    }
    return ItemVerdict::Accept;
  }
  return ItemVerdict::Unknown;
}
