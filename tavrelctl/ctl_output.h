// tavrelctl's output: records of named fields shown as an aligned table,
// as "name = value" lines, or as JSON whose members carry the CIM property
// names.
#ifndef TAVRELCTL_CTL_OUTPUT_H
#define TAVRELCTL_CTL_OUTPUT_H

#include <string>
#include <vector>

struct CtlField {
  enum Kind { Text, Number, Boolean, Null, Raw };  // Raw: JSON given as is
  std::string name;
  std::string text;
  Kind kind = Text;
};
typedef std::vector<CtlField> CtlRecord;

// The field named name, or null when the record has none.
const CtlField* ctlField(const CtlRecord& record, const std::string& name);

// A table: one header line of the columns, one line per record; a missing
// or null field shows as "-". Columns are as wide as their widest cell.
std::string ctlFormatTable(const std::vector<CtlRecord>& records, const std::vector<std::string>& columns);
// "name = value" lines in the record's order.
std::string ctlFormatProperties(const CtlRecord& record);
// JSON: one object, or an array of objects.
std::string ctlJsonObject(const CtlRecord& record);
std::string ctlJsonArray(const std::vector<CtlRecord>& records);
// A JSON string literal.
std::string ctlJsonString(const std::string& text);

#endif
