#include "openwbem/CIMProperty.h"
#include "openwbem/CIMQualifier.h"

namespace OpenWBEM {

int CIMQualifierFind(const CIMQualifierArray& quals, const String& name)
{
	for (std::size_t i = 0; i < quals.size(); ++i)
	{
		if (quals[i].getName().equalsIgnoreCase(name))
			return static_cast<int>(i);
	}
	return -1;
}

void CIMQualifierSet(CIMQualifierArray& quals, const CIMQualifier& q)
{
	int i = CIMQualifierFind(quals, q.getName());
	if (i >= 0)
		quals[i] = q;
	else
		quals.push_back(q);
}

bool CIMQualifierIsTrue(const CIMQualifierArray& quals, const String& name)
{
	int i = CIMQualifierFind(quals, name);
	if (i < 0)
		return false;
	const CIMValue& v = quals[i].getValue();
	return !v.isArray() && v.getType() == CIMDataType::BOOLEAN && v.toBool();
}

int CIMPropertyFind(const CIMPropertyArray& props, const String& name)
{
	for (std::size_t i = 0; i < props.size(); ++i)
	{
		if (props[i].getName().equalsIgnoreCase(name))
			return static_cast<int>(i);
	}
	return -1;
}

CIMProperty& CIMProperty::setValue(const CIMValue& value)
{
	m_value = value;
	if (!value.isNull())
		m_type = value.getCIMDataType();
	return *this;
}

CIMProperty& CIMProperty::setQualifier(const CIMQualifier& q)
{
	CIMQualifierSet(m_qualifiers, q);
	return *this;
}

CIMQualifier CIMProperty::getQualifier(const String& name) const
{
	int i = CIMQualifierFind(m_qualifiers, name);
	return i >= 0 ? m_qualifiers[i] : CIMQualifier();
}

} // namespace OpenWBEM
