#include "plot/svg.h"

#include <cstdio>

namespace pctlfit::plot {

namespace {
std::string open_tag(std::string_view name, const SvgAttributes& attributes) {
  std::string text = "<";
  text.append(name);
  for (const SvgAttribute& a : attributes) {
    text.append(" ").append(a.name).append("=\"").append(escape_xml(a.value)).append("\"");
  }
  return text;
}
}  // namespace

std::string format_number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string escape_xml(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        escaped += (static_cast<unsigned char>(c) < 0x20 && c != '\t') ? ' ' : c;
    }
  }
  return escaped;
}

std::string svg_open(std::string_view name, const SvgAttributes& attributes) {
  return open_tag(name, attributes) + ">";
}

std::string svg_element(std::string_view name, const SvgAttributes& attributes) {
  return open_tag(name, attributes) + "/>";
}

std::string svg_element(std::string_view name, const SvgAttributes& attributes,
                        const std::string& text) {
  std::string element = open_tag(name, attributes);
  element.append(">").append(escape_xml(text)).append("</").append(name).append(">");
  return element;
}

}  // namespace pctlfit::plot
