#pragma once
// SVG elements as text: a name and its attributes, each value and text escaped here, once.

#include <string>
#include <string_view>
#include <vector>

namespace pctlfit::plot {

struct SvgAttribute {
  std::string_view name;
  std::string value;
};
using SvgAttributes = std::vector<SvgAttribute>;

// `value` with `decimals` decimals ("%.*f"): every coordinate and tick of the chart.
std::string format_number(double value, int decimals = 1);

inline SvgAttribute attr(std::string_view name, std::string value) {
  return {name, std::move(value)};
}
inline SvgAttribute attr(std::string_view name, double value) {
  return {name, format_number(value)};
}

// Text with &, <, >, " and ' replaced by their entities, and control characters by spaces.
std::string escape_xml(const std::string& text);

// <name a="v" ...>, which holds the elements after it until its </name>.
std::string svg_open(std::string_view name, const SvgAttributes& attributes);

// <name a="v" ...>text</name>, or <name a="v" .../> without text.
std::string svg_element(std::string_view name, const SvgAttributes& attributes);
std::string svg_element(std::string_view name, const SvgAttributes& attributes,
                        const std::string& text);

}  // namespace pctlfit::plot
