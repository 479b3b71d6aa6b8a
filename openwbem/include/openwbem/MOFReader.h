// Reader of class declarations in MOF (DMTF DSP0004), for the subset the
// appliance's schema uses: classes with an optional superclass; qualifier
// lists with boolean, string, numeric and array values; properties of the
// scalar types and arrays of them, with default values; references
// ("<Class> REF <name>"); methods with typed [IN]/[OUT] parameters.
// "#pragma" lines and "Qualifier" declarations are skipped; comments may
// be "//" or "/* */".
#ifndef OPENWBEM_MOFREADER_H
#define OPENWBEM_MOFREADER_H

#include "openwbem/CIMClass.h"
#include "openwbem/CIMFwd.h"
#include "openwbem/Exception.h"
#include "openwbem/String.h"

namespace OpenWBEM {

// The MOF text is not of the supported subset; the message names the
// source, the line and what was expected.
OW_DECLARE_EXCEPTION(MOFReader);

namespace MOFReader {

// The classes declared in text, in order. Each class holds only what it
// declares itself; superclass members are not copied in. sourceName is used
// in error messages.
CIMClassArray parse(const String& text, const String& sourceName = "MOF");
// The same for the file at path; a file that cannot be read throws
// MOFReaderException naming it.
CIMClassArray readFile(const String& path);

}  // namespace MOFReader
}  // namespace OpenWBEM

#endif
