// The memory map as SVG. Ranges are stacked in address order from the bottom; each range's height grows
// with the logarithm of its size, so a 640 KiB range and a 14 GiB range are both visible and readable.
// A thin bar beside the stack shows the true linear proportions.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "tools/zarn/Names.h"
#include "tools/zarn/Report.h"

namespace zarn::tool {

namespace {

const char *fillOf(uint32_t attribute) {
  switch (attribute) {
    case 1: return "#66bb6a";
    case 2: return "#ffa726";
    case 3: return "#ab47bc";
    case 4: return "#78909c";
    default: return "#ef5350";
  }
}

std::string escape(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

double heightOf(uint64_t size) {
  if (size == 0) return 26;
  const double pages = std::max(1.0, static_cast<double>(size) / 4096.0);
  return 34 + 9 * std::log2(pages);
}

}  // namespace

std::string svgMemoryMap(const std::vector<MemRange> &ranges, const std::string &title) {
  const double barX = 190, barW = 230, linX = 150, linW = 14, top = 60;
  double total = 0;
  for (const MemRange &r : ranges) total += heightOf(r.size);
  if (ranges.empty()) total = 60;
  const double legendY = top + total + 40;
  const double width = 820, height = legendY + 60;

  std::string svg;
  svg += fmt::format(R"(<svg xmlns="http://www.w3.org/2000/svg" width="{0}" height="{1}" viewBox="0 0 {0} {1}" )"
                     R"(font-family="DejaVu Sans Mono, Menlo, Consolas, monospace" font-size="12">)"
                     "\n",
                     width, height);
  svg += fmt::format(R"(<rect x="0" y="0" width="{}" height="{}" fill="#ffffff"/>)"
                     "\n",
                     width, height);
  svg += fmt::format(R"(<text x="20" y="28" font-size="16" font-weight="bold">{}</text>)"
                     "\n",
                     escape(title));
  svg += fmt::format(R"(<text x="20" y="46" fill="#555">Addresses grow upwards. Height of a range: logarithmic in its )"
                     R"(size; thin bar: linear scale.</text>)"
                     "\n");

  if (ranges.empty()) {
    svg += fmt::format(R"(<text x="{}" y="{}" fill="#c62828">No memory map HOB was built.</text>)"
                       "\n",
                       barX, top + 30);
  }

  // Stack from the bottom: range 0 lowest.
  uint64_t span = 0;
  for (const MemRange &r : ranges) span = std::max(span, r.base + r.size);
  double y = top + total;
  for (size_t n = 0; n < ranges.size(); ++n) {
    const MemRange &r = ranges[n];
    const double h = heightOf(r.size);
    y -= h;
    const bool empty = r.size == 0;
    svg += fmt::format(R"(<rect x="{}" y="{:.1f}" width="{}" height="{:.1f}" fill="{}" stroke="#333" stroke-width="1"{}/>)"
                       "\n",
                       barX, y, barW, h, empty ? "#ffffff" : fillOf(r.attribute),
                       empty ? R"( stroke-dasharray="4 3")" : "");
    // Inside the bar: attribute and size; beside it: the range in hex.
    if (empty) {
      svg += fmt::format(R"(<text x="{:.1f}" y="{:.1f}" text-anchor="middle" fill="#333">{}, 0 bytes</text>)"
                         "\n",
                         barX + barW / 2, y + h / 2 + 4, escape(attributeName(r.attribute)));
    } else {
      svg += fmt::format(R"(<text x="{:.1f}" y="{:.1f}" text-anchor="middle" font-weight="bold" fill="#111">{}</text>)"
                         "\n",
                         barX + barW / 2, y + h / 2 - 2, escape(attributeName(r.attribute)));
      svg += fmt::format(R"(<text x="{:.1f}" y="{:.1f}" text-anchor="middle" fill="#111">{}</text>)"
                         "\n",
                         barX + barW / 2, y + h / 2 + 13, escape(humanSize(r.size)));
    }
    const std::string range = empty ? fmt::format("0x{:X} (empty)", r.base)
                                     : fmt::format("0x{:X} - 0x{:X}", r.base, r.base + r.size - 1);
    svg += fmt::format(R"(<text x="{}" y="{:.1f}">#{}  {}</text>)"
                       "\n",
                       barX + barW + 16, y + h / 2 + 4, n, escape(range));
    // Base address at the lower edge.
    svg += fmt::format(R"(<text x="{}" y="{:.1f}" text-anchor="end" fill="#333">0x{:X}</text>)"
                       "\n",
                       linX - 10, y + h + 4, r.base);
    svg += fmt::format(R"(<line x1="{}" y1="{:.1f}" x2="{}" y2="{:.1f}" stroke="#999" stroke-width="0.5"/>)"
                       "\n",
                       linX - 6, y + h, barX, y + h);
    // Linear bar.
    if (span > 0 && !empty && r.base < span) {
      const double from = static_cast<double>(r.base) / static_cast<double>(span);
      const double to = std::min(1.0, static_cast<double>(r.base + r.size) / static_cast<double>(span));
      svg += fmt::format(R"(<rect x="{}" y="{:.2f}" width="{}" height="{:.2f}" fill="{}"/>)"
                         "\n",
                         linX, top + total * (1 - to), linW, std::max(total * (to - from), 0.0), fillOf(r.attribute));
    }
  }
  if (!ranges.empty()) {
    const MemRange &last = ranges.back();
    svg += fmt::format(R"(<text x="{}" y="{:.1f}" text-anchor="end" fill="#333">0x{:X}</text>)"
                       "\n",
                       linX - 10, top + 4, last.base + last.size);
    svg += fmt::format(R"(<rect x="{}" y="{}" width="{}" height="{:.1f}" fill="none" stroke="#333"/>)"
                       "\n",
                       linX, top, linW, total);
  }

  // Legend.
  const uint32_t attrs[] = {1, 2, 3, 4};
  double lx = 20;
  for (uint32_t a : attrs) {
    svg += fmt::format(R"(<rect x="{}" y="{}" width="14" height="14" fill="{}" stroke="#333"/>)"
                       "\n",
                       lx, legendY, fillOf(a));
    const std::string label = fmt::format("{} {}", a, attributeName(a));
    svg += fmt::format(R"(<text x="{}" y="{}">{}</text>)"
                       "\n",
                       lx + 20, legendY + 12, escape(label));
    lx += 40 + 8.0 * static_cast<double>(label.size());
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace zarn::tool
