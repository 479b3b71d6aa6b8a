// ZPX_DHCPSettingDataInService: the stored links between a DHCP service
// (role "Antecedent") and its setting data (role "Dependent"). A link holds
// the four keys of the service and the InstanceID of the setting data; links
// exist only as CIM clients create them.
#ifndef TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICE_H
#define TAVREL_DHCPPROV_ZPX_DHCPSETTINGDATAINSERVICE_H

#include <stdint.h>

#include <string>

#include "framework/InstanceRegistry.h"
#include "tavrel_export.h"

class ZPX_DHCPService;
class ZPX_DHCPSettingData;
class ZPX_DHCPSettingDataInServiceInstanceManager;

// One link; registers itself with the current instance manager on
// construction and leaves it on destruction. Each getter returns its key
// and 0.
class TAVREL_EXPORT ZPX_DHCPSettingDataInService {
 public:
  ZPX_DHCPSettingDataInService(const std::string& antecedentSystemCreationClassName,
                               const std::string& antecedentSystemName,
                               const std::string& antecedentCreationClassName,
                               const std::string& antecedentName, const std::string& dependentInstanceID);
  ZPX_DHCPSettingDataInService(const ZPX_DHCPSettingDataInService&) = delete;
  ZPX_DHCPSettingDataInService& operator=(const ZPX_DHCPSettingDataInService&) = delete;

  virtual ~ZPX_DHCPSettingDataInService();
  virtual int startChange();
  virtual int endChange();
  virtual int getAntecedentSystemCreationClassName(std::string& value) const;
  virtual int getAntecedentSystemName(std::string& value) const;
  virtual int getAntecedentCreationClassName(std::string& value) const;
  virtual int getAntecedentName(std::string& value) const;
  virtual int getDependentInstanceID(std::string& value) const;

  // Makes manager current and calls its init(); the previous one is kept.
  static void SetInstanceManager(ZPX_DHCPSettingDataInServiceInstanceManager* manager);
  // Makes the built-in manager current again.
  static void ClearInstanceManager();
  static ZPX_DHCPSettingDataInServiceInstanceManager* getInstanceManager();

  static ZPX_DHCPSettingDataInServiceInstanceManager* theInstanceManager;
  static ZPX_DHCPSettingDataInServiceInstanceManager defaultInstanceManager;

 protected:
  std::string m_AntecedentSystemCreationClassName;
  std::string m_AntecedentSystemName;
  std::string m_AntecedentCreationClassName;
  std::string m_AntecedentName;
  std::string m_DependentInstanceID;
};

// Registry of the links with one cursor that walks all links, the links of
// one service or the links of one setting data. Creation and destruction
// are refused here; the implementation manager provides them.
class TAVREL_EXPORT ZPX_DHCPSettingDataInServiceInstanceManager {
 public:
  ZPX_DHCPSettingDataInServiceInstanceManager() = default;
  ZPX_DHCPSettingDataInServiceInstanceManager(const ZPX_DHCPSettingDataInServiceInstanceManager&) = delete;
  ZPX_DHCPSettingDataInServiceInstanceManager& operator=(const ZPX_DHCPSettingDataInServiceInstanceManager&) =
      delete;

  virtual ~ZPX_DHCPSettingDataInServiceInstanceManager();
  virtual void init();
  virtual ZPX_DHCPSettingDataInService* createZPX_DHCPSettingDataInService(
      const std::string& antecedentSystemCreationClassName, const std::string& antecedentSystemName,
      const std::string& antecedentCreationClassName, const std::string& antecedentName,
      const std::string& dependentInstanceID);
  virtual void destroyZPX_DHCPSettingDataInService(ZPX_DHCPSettingDataInService* object);
  virtual void add(ZPX_DHCPSettingDataInService* object);
  virtual void remove(ZPX_DHCPSettingDataInService* object);
  // The link of those keys; CFG_NoInstance when there is none.
  virtual ZPX_DHCPSettingDataInService* get(const std::string& antecedentSystemCreationClassName,
                                            const std::string& antecedentSystemName,
                                            const std::string& antecedentCreationClassName,
                                            const std::string& antecedentName,
                                            const std::string& dependentInstanceID);
  // Iteration over all links.
  virtual void startIteration();
  // True when a link of the current filter lies at or after the cursor.
  virtual bool hasNext();
  // CFG_NoInstance at the end.
  virtual ZPX_DHCPSettingDataInService* next();
  virtual void endIteration();
  // Iteration over the links of one service.
  virtual void startIterationForAntecedent(const std::string& systemCreationClassName,
                                           const std::string& systemName,
                                           const std::string& creationClassName, const std::string& name);
  // Iteration over the links of one setting data.
  virtual void startIterationForDependent(const std::string& instanceID);
  // The service (respectively setting data) the next link names, looked up
  // in the current manager of its class; CFG_NoInstance when it does not
  // exist.
  virtual ZPX_DHCPService* nextAntecedent();
  virtual ZPX_DHCPSettingData* nextDependent();

 private:
  enum Mode { kOfAntecedent = 0, kOfDependent = 1, kAll = 2 };

  bool matches(const ZPX_DHCPSettingDataInService& link) const;

  // At most kAssociationLinksMax links.
  InstanceRegistry<ZPX_DHCPSettingDataInService> m_registry{kAssociationLinksMax};
  int32_t m_mode = kAll;
  std::string m_antecedentSystemCreationClassName;
  std::string m_antecedentSystemName;
  std::string m_antecedentCreationClassName;
  std::string m_antecedentName;
  std::string m_dependentInstanceID;
  // The matching link hasNext() found and next() hands out.
  ZPX_DHCPSettingDataInService* m_found = nullptr;
};

#endif
