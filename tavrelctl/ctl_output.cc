#include "ctl_output.h"

#include <algorithm>
#include <cstdio>

const CtlField* ctlField(const CtlRecord& record, const std::string& name) {
  for (const CtlField& f : record)
    if (f.name == name) return &f;
  return nullptr;
}

namespace {

std::string cell(const CtlRecord& record, const std::string& column) {
  const CtlField* f = ctlField(record, column);
  if (f == nullptr || f->kind == CtlField::Null || (f->kind == CtlField::Text && f->text.empty())) return "-";
  // One line per record: a line end is shown as a backslash and "n",
  // other control characters as "?".
  std::string text;
  for (unsigned char c : f->text) {
    if (c == '\n')
      text += "\\n";
    else if (c < 0x20 || c == 0x7f)
      text += '?';
    else
      text += static_cast<char>(c);
  }
  return text;
}

// Width on a terminal: UTF-8 continuation bytes take no column.
size_t width(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string jsonValue(const CtlField& f) {
  switch (f.kind) {
    case CtlField::Null:
      return "null";
    case CtlField::Number:
    case CtlField::Raw:
      return f.text;
    case CtlField::Boolean:
      return f.text == "TRUE" || f.text == "true" ? "true" : "false";
    case CtlField::Text:
      break;
  }
  return ctlJsonString(f.text);
}

}  // namespace

std::string ctlFormatTable(const std::vector<CtlRecord>& records, const std::vector<std::string>& columns) {
  std::vector<size_t> widths;
  for (const std::string& c : columns) widths.push_back(width(c));
  for (const CtlRecord& r : records)
    for (size_t i = 0; i < columns.size(); ++i) widths[i] = std::max(widths[i], width(cell(r, columns[i])));
  auto line = [&](const std::vector<std::string>& cells) {
    std::string out;
    for (size_t i = 0; i < cells.size(); ++i) {
      out += cells[i];
      if (i + 1 < cells.size()) out += std::string(widths[i] - width(cells[i]) + 2, ' ');
    }
    return out + "\n";
  };
  std::string out = line(columns);
  for (const CtlRecord& r : records) {
    std::vector<std::string> cells;
    for (const std::string& c : columns) cells.push_back(cell(r, c));
    out += line(cells);
  }
  return out;
}

std::string ctlFormatProperties(const CtlRecord& record) {
  std::string out;
  for (const CtlField& f : record) out += f.name + " = " + (f.kind == CtlField::Null ? "" : f.text) + "\n";
  return out;
}

std::string ctlJsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c < 0x20 || c == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\u%04x", c);
      out += hex;
    } else
      out += static_cast<char>(c);
  }
  return out + "\"";
}

std::string ctlJsonObject(const CtlRecord& record) {
  std::string out = "{";
  for (size_t i = 0; i < record.size(); ++i) {
    if (i != 0) out += ", ";
    out += ctlJsonString(record[i].name) + ": " + jsonValue(record[i]);
  }
  return out + "}";
}

std::string ctlJsonArray(const std::vector<CtlRecord>& records) {
  std::string out = "[";
  for (size_t i = 0; i < records.size(); ++i) out += (i == 0 ? "\n  " : ",\n  ") + ctlJsonObject(records[i]);
  return out + (records.empty() ? "]" : "\n]");
}
