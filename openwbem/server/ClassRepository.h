// Class definitions the provider agent knows: as declared (from the MOF
// file and the host), and resolved with what each class inherits.
#ifndef OW_SERVER_CLASSREPOSITORY_H
#define OW_SERVER_CLASSREPOSITORY_H

#include "openwbem/CIMClass.h"
#include "openwbem/CIMObjectPath.h"
#include "openwbem/CIMParamValue.h"
#include "openwbem/WBEMFlags.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace OpenWBEM {

class ClassRepository {
 public:
  // Adds the declarations (a later one of the same name replaces an
  // earlier one) and resolves inheritance again. A superclass the
  // repository does not know is allowed: nothing is inherited from it.
  // Throws CIMException(INVALID_SUPERCLASS) for a cycle, leaving the
  // repository unchanged.
  void add(const CIMClassArray& classes);

  // The resolved class (all inherited properties and methods), or null.
  const CIMClass* find(const String& className) const;

  // The class as GetClass returns it: with localOnly only what the class
  // declares itself, without qualifiers unless includeQualifiers, only the
  // properties of propertyList when it is given, with the class origin
  // of each property and method only when includeClassOrigin (whether it
  // is propagated from a superclass is always set). NOT_FOUND when unknown.
  CIMClass getClass(
      const String& className, WBEMFlags::ELocalOnlyFlag localOnly,
      WBEMFlags::EIncludeQualifiersFlag includeQualifiers, const StringArray* propertyList,
      WBEMFlags::EIncludeClassOriginFlag includeClassOrigin = WBEMFlags::E_EXCLUDE_CLASS_ORIGIN) const;

  // True when className is ancestor or one of its subclasses (names
  // compared without case).
  bool isA(const String& className, const String& ancestor) const;

  // The association classes, in declaration order, with a reference
  // property to className or one of its superclasses (named role when role
  // is given) and, when resultRole or resultClass is given, another
  // reference property of that name, to a class related to resultClass
  // (the class, a subclass or a superclass).
  StringArray associationsOf(const String& className, const String& role, const String& resultClass,
                             const String& resultRole) const;

  // Names of the direct (or with deep, all) subclasses of className, or of
  // the classes without a known superclass when it is empty.
  // INVALID_CLASS when className is given and unknown.
  StringArray subclassNames(const String& className, WBEMFlags::EDeepFlag deep) const;

  // Value of the "Provider" qualifier of the class or its nearest
  // ancestor that has one; "" when none.
  String providerOf(const String& className) const;

  // Converts incoming values to the types the class definitions declare:
  // the keys of a path (references recursively), the properties of an
  // instance, the in-parameters of a method. Unknown classes, properties
  // and parameters stay as they are. A value that does not fit throws
  // CIMException (INVALID_PARAMETER when out of range, or when references
  // nest deeper than kMaxReferenceNesting).
  void typeObjectPath(CIMObjectPath& path) const;
  void typeInstance(CIMInstance& instance) const;
  void typeMethodParams(const String& className, const String& methodName, CIMParamValueArray& params) const;

  static constexpr int kMaxReferenceNesting = 32;

 private:
  struct Entry {
    CIMClass declared;
    CIMClass resolved;
  };

  static std::string key(const String& name);
  void resolveAll();
  const CIMClass& resolve(Entry& entry, int depth);
  void typeReferences(CIMPropertyArray& props, int depth) const;
  void typePath(CIMObjectPath& path, int depth) const;

  std::unordered_map<std::string, Entry> m_classes;
  std::vector<std::string> m_order;  // declaration order, for stable listings
};

}  // namespace OpenWBEM

#endif
