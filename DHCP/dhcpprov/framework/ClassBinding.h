// The CIM side of one managed-object class: its properties in class order,
// bound to the getters and setters of its data class C. The providers convert
// objects to instances and paths, read keys, and apply modifications through
// it, so every class follows the same rules and raises the same errors.
#ifndef TAVREL_DHCPPROV_CLASS_BINDING_H
#define TAVREL_DHCPPROV_CLASS_BINDING_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/ProviderErrors.h"
#include "openwbem/CIMDateTime.h"
#include "openwbem/CIMInstance.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMProperty.h"
#include "openwbem/CIMQualifier.h"
#include "openwbem/CIMValue.h"
#include "tavrel_agent_api.h"

namespace TavrelBinding {

// CIM value of an accessor type and back. Texts travel as CIM strings and
// are taken from any value by its text form; numbers and booleans by type.
inline OpenWBEM::CIMValue toCIMValue(const std::string& v) {
  return OpenWBEM::CIMValue(OpenWBEM::String(v));
}
inline OpenWBEM::CIMValue toCIMValue(bool v) {
  return OpenWBEM::CIMValue(v);
}
inline OpenWBEM::CIMValue toCIMValue(unsigned char v) {
  return OpenWBEM::CIMValue(v);
}
inline OpenWBEM::CIMValue toCIMValue(unsigned short v) {
  return OpenWBEM::CIMValue(v);
}
inline OpenWBEM::CIMValue toCIMValue(unsigned int v) {
  return OpenWBEM::CIMValue(v);
}
inline OpenWBEM::CIMValue toCIMValue(const std::vector<std::string>& v) {
  OpenWBEM::StringArray texts;
  for (const std::string& text : v) texts.push_back(OpenWBEM::String(text));
  return OpenWBEM::CIMValue(texts);
}

inline void fromCIMValue(const OpenWBEM::CIMValue& v, std::string& out) {
  out = v.toString().toStdString();
}
inline void fromCIMValue(const OpenWBEM::CIMValue& v, bool& out) {
  out = v.toBool();
}
inline void fromCIMValue(const OpenWBEM::CIMValue& v, unsigned char& out) {
  out = v.toUInt8();
}
inline void fromCIMValue(const OpenWBEM::CIMValue& v, unsigned short& out) {
  out = v.toUInt16();
}
inline void fromCIMValue(const OpenWBEM::CIMValue& v, unsigned int& out) {
  out = v.toUInt32();
}

}  // namespace TavrelBinding

template <class C>
class ClassBinding {
 public:
  typedef std::function<int(const C&, OpenWBEM::CIMValue&, OpenWBEM::CIMQualifierArray&)> Getter;
  typedef std::function<int(C&, const OpenWBEM::CIMValue&)> Setter;
  // Checks a value before its setter runs; throws its own CIM error.
  typedef std::function<void(const OpenWBEM::CIMValue&)> Check;

  struct Property {
    std::string name;
    bool key = false;
    Getter get;
    Setter set;  // empty for a read-only property
    Check check;
  };

  template <class T>
  static Property readOnly(const char* name, int (C::*getter)(T&, OpenWBEM::CIMQualifierArray&) const) {
    Property p;
    p.name = name;
    p.get = [getter](const C& object, OpenWBEM::CIMValue& value, OpenWBEM::CIMQualifierArray& qualifiers) {
      T field{};
      int rc = (object.*getter)(field, qualifiers);
      if (rc == TAVREL_RC_OK) value = TavrelBinding::toCIMValue(field);
      return rc;
    };
    return p;
  }

  static Property key(const char* name, int (C::*getter)(std::string&, OpenWBEM::CIMQualifierArray&) const) {
    Property p = readOnly(name, getter);
    p.key = true;
    return p;
  }

  // A text getter whose value travels as a CIM datetime; a text that is no
  // CIM date-time fails with CIM_ERR_INVALID_PARAMETER.
  static Property dateTime(const char* name,
                           int (C::*getter)(std::string&, OpenWBEM::CIMQualifierArray&) const) {
    Property p;
    p.name = name;
    p.get = [getter](const C& object, OpenWBEM::CIMValue& value, OpenWBEM::CIMQualifierArray& qualifiers) {
      std::string text;
      int rc = (object.*getter)(text, qualifiers);
      if (rc == TAVREL_RC_OK) value = OpenWBEM::CIMValue(OpenWBEM::CIMDateTime(OpenWBEM::String(text)));
      return rc;
    };
    return p;
  }

  template <class T>
  static Property writable(const char* name, int (C::*getter)(T&, OpenWBEM::CIMQualifierArray&) const,
                           int (C::*setter)(T), Check check = Check()) {
    Property p = readOnly(name, getter);
    p.set = [setter](C& object, const OpenWBEM::CIMValue& value) {
      T field{};
      TavrelBinding::fromCIMValue(value, field);
      return (object.*setter)(field);
    };
    p.check = std::move(check);
    return p;
  }

  // Check refusing texts longer than maxLength characters.
  Check maxLength(const char* propertyName, unsigned limit) const {
    std::string className = m_className;
    std::string name = propertyName;
    return [className, name, limit](const OpenWBEM::CIMValue& value) {
      if (value.toString().UTF8Length() > limit) TavrelErrors::throwTooLong(className, name, limit);
    };
  }

  // Check refusing numbers above limit.
  Check maxValue(const char* propertyName, unsigned limit) const {
    std::string className = m_className;
    std::string name = propertyName;
    return [className, name, limit](const OpenWBEM::CIMValue& value) {
      if (value.toUInt32() > limit) TavrelErrors::throwTooLarge(className, name, limit);
    };
  }

  explicit ClassBinding(const char* className) : m_className(className) {}
  void setProperties(std::vector<Property> properties) { m_properties = std::move(properties); }

  const char* className() const { return m_className; }

  // Sets every readable property of object on instance, in class order, with
  // the qualifiers its getter gave; unreadable ones are left out. The
  // namespace of the request is not needed: no property is a reference.
  void toCIMInstance(const C& object, OpenWBEM::CIMInstance& instance,
                     const OpenWBEM::String& = OpenWBEM::String()) const {
    for (const Property& p : m_properties) {
      OpenWBEM::CIMValue value;
      OpenWBEM::CIMQualifierArray qualifiers;
      if (p.get(object, value, qualifiers) != TAVREL_RC_OK) continue;
      OpenWBEM::CIMProperty property(p.name.c_str(), value);
      property.setQualifiers(qualifiers);
      instance.setProperty(property);
    }
  }

  // Sets the key properties of object, as strings, as the keys of path; a
  // key that cannot be read is CIM_ERR_NOT_FOUND.
  void toCIMObjectPath(const C& object, OpenWBEM::CIMObjectPath& path) const {
    OpenWBEM::CIMPropertyArray keys;
    for (const Property& p : m_properties) {
      if (!p.key) continue;
      OpenWBEM::CIMValue value;
      OpenWBEM::CIMQualifierArray qualifiers;
      if (p.get(object, value, qualifiers) != TAVREL_RC_OK) TavrelErrors::throwNotFound();
      keys.push_back(OpenWBEM::CIMProperty(p.name.c_str(), value));
    }
    path.setKeys(keys);
  }

  // Key values of a path or instance in key order; a missing or null key is
  // CIM_ERR_NOT_FOUND.
  std::vector<std::string> keysOf(const OpenWBEM::CIMObjectPath& path) const {
    return collectKeys([&path](const std::string& name) { return path.getKeyValue(name); }, true);
  }
  std::vector<std::string> keysOf(const OpenWBEM::CIMInstance& instance) const {
    return collectKeys([&instance](const std::string& name) { return instance.getPropertyValue(name); },
                       true);
  }
  // Key values for a new object: "" for a missing or null key.
  std::vector<std::string> keysForCreate(const OpenWBEM::CIMInstance& instance) const {
    return collectKeys([&instance](const std::string& name) { return instance.getPropertyValue(name); },
                       false);
  }

  // The change bracket (DhcpCompChange): startChange, then the setter of
  // every writable property the instance carries with a non-null value
  // (exact names, in the instance's order), then endChange, which checks the
  // whole change and stores it; then the commit. A failure ends the change
  // there with the CIM error of its kind, and everything the change touched
  // is put back.
  void apply(C& object, const OpenWBEM::CIMInstance& instance) const {
    DhcpCompChange change;
    int rc = object.startChange();
    if (rc != TAVREL_RC_OK) TavrelErrors::throwStartChangeFailed(rc);
    for (const OpenWBEM::CIMProperty& property : instance.getProperties()) {
      const Property* p = writableNamed(property.getName().toStdString());
      const OpenWBEM::CIMValue& value = property.getValue();
      if (p == nullptr || value.isNull()) continue;
      if (p->check) p->check(value);
      rc = p->set(object, value);
      if (rc != TAVREL_RC_OK) TavrelErrors::throwSetterFailed(rc, m_className, p->name);
    }
    rc = object.endChange();
    if (rc == TAVREL_RC_OK) rc = change.commit();
    if (rc != TAVREL_RC_OK) TavrelErrors::throwEndChangeFailed(rc, m_className);
  }

 private:
  const Property* writableNamed(const std::string& name) const {
    for (const Property& p : m_properties)
      if (p.set && p.name == name) return &p;
    return nullptr;
  }

  template <class Lookup>
  std::vector<std::string> collectKeys(Lookup lookup, bool required) const {
    std::vector<std::string> values;
    for (const Property& p : m_properties) {
      if (!p.key) continue;
      OpenWBEM::CIMValue value = lookup(p.name);
      if (value.isNull()) {
        if (required) TavrelErrors::throwNotFound();
        values.push_back(std::string());
        continue;
      }
      values.push_back(value.toString().toStdString());
    }
    return values;
  }

  const char* m_className;
  std::vector<Property> m_properties;
};

#endif
