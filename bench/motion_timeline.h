// A scene of motion_bench drawn as an SVG timeline: the scene's episodes and tamper conditions,
// the quiet windows, the largest group's size against MinCount, the motion state, and each
// tamper condition as motiond saw it and its state. An integrator tuning the sensitivity sees
// at a glance why an alarm rose or did not.
#pragma once

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct TimelineSample {
  double t;  // seconds
  int largest;
  bool motion, quiet;
  std::array<bool, 4> condition, raised;  // tamper: too dark, too bright, too blurry, scene
};

struct Timeline {
  std::string name;
  double seconds = 0;
  int min_count = 3;
  std::vector<std::pair<double, double>> episodes;  // objects in the picture, from and to
  std::vector<std::pair<int, std::pair<double, double>>> tampering;  // kind, from and to
  struct Mark {
    std::string what;  // "lamp", "shadow", "IR switch", ...
    double from, to;
  };
  std::vector<Mark> marks;  // what else happens in the scene
  std::vector<TimelineSample> samples;
};

inline std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '&')
      out += "&amp;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

// The file name of a scene: its name's letters and digits, the rest as '-'.
inline std::string file_name(const std::string& name) {
  std::string out;
  for (char c : name) out += (std::isalnum(static_cast<unsigned char>(c)) != 0) ? c : '-';
  return out + ".svg";
}

// Writes DIR/<scene>.svg; false when it cannot.
inline bool write_timeline(const Timeline& tl, const std::string& dir) {
  constexpr double kLeft = 120, kWidth = 860, kPlotTop = 60, kPlotHeight = 120;
  static const char* const kTamperNames[4] = {"too dark", "too bright", "too blurry", "scene"};
  static const char* const kTamperColours[4] = {"#333", "#e0a000", "#3080c0", "#a040a0"};
  const double end = std::max(tl.seconds, 1.0);
  const int top = std::max(3 * tl.min_count, 12);
  auto x = [&](double t) { return kLeft + kWidth * std::clamp(t, 0.0, end) / end; };
  auto y = [&](int size) {
    return kPlotTop + kPlotHeight * (1 - std::min(size, top) / double(top));
  };
  std::FILE* f = std::fopen((dir + "/" + file_name(tl.name)).c_str(), "w");
  if (f == nullptr) return false;
  const double height = kPlotTop + kPlotHeight + 40 + 4 * 16 + 40;
  std::fprintf(f,
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"%.0f\" "
               "font-family=\"sans-serif\" font-size=\"11\">\n<text x=\"10\" y=\"16\" "
               "font-size=\"14\">%s</text>\n",
               height, escaped(tl.name).c_str());
  // The scene: episodes (green) and tamper conditions (their colour) on one lane.
  std::fprintf(f, "<text x=\"10\" y=\"40\">scene</text>\n");
  for (const auto& [from, to] : tl.episodes) {
    std::fprintf(f, "<rect x=\"%.1f\" y=\"30\" width=\"%.1f\" height=\"12\" fill=\"#4a4\"/>\n",
                 x(from), std::max(1.0, x(to) - x(from)));
  }
  for (const auto& [kind, span] : tl.tampering) {
    std::fprintf(f, "<rect x=\"%.1f\" y=\"44\" width=\"%.1f\" height=\"6\" fill=\"%s\"/>\n",
                 x(span.first), std::max(1.0, x(span.second) - x(span.first)),
                 kTamperColours[kind & 3]);
  }
  for (const Timeline::Mark& m : tl.marks) {
    std::fprintf(f,
                 "<rect x=\"%.1f\" y=\"22\" width=\"%.1f\" height=\"6\" fill=\"#88a\"/>"
                 "<text x=\"%.1f\" y=\"20\" font-size=\"9\">%s</text>\n",
                 x(m.from), std::max(1.0, x(m.to) - x(m.from)), x(m.from), escaped(m.what).c_str());
  }
  // Quiet windows (grey) and the motion state (red) behind the group size.
  for (size_t i = 0; i < tl.samples.size(); ++i) {
    const TimelineSample& s = tl.samples[i];
    const double next = i + 1 < tl.samples.size() ? tl.samples[i + 1].t : s.t + 0.2;
    if (s.quiet || s.motion) {
      std::fprintf(f, "<rect x=\"%.1f\" y=\"%.0f\" width=\"%.2f\" height=\"%.0f\" fill=\"%s\"/>\n",
                   x(s.t), kPlotTop, x(next) - x(s.t), kPlotHeight, s.quiet ? "#ddd" : "#fbb");
    }
  }
  std::string line;
  for (const TimelineSample& s : tl.samples) {
    char point[48];
    std::snprintf(point, sizeof point, "%.1f,%.1f ", x(s.t), y(s.largest));
    line += point;
  }
  std::fprintf(f,
               "<polyline points=\"%s\" fill=\"none\" stroke=\"#000\" stroke-width=\"1\"/>\n"
               "<line x1=\"%.0f\" x2=\"%.0f\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"#c00\" "
               "stroke-dasharray=\"4,3\"/>\n<text x=\"10\" y=\"%.0f\">largest group</text>\n"
               "<text x=\"10\" y=\"%.1f\">MinCount %d</text>\n",
               line.c_str(), kLeft, kLeft + kWidth, y(tl.min_count), y(tl.min_count), kPlotTop + 12,
               y(tl.min_count) + 4, tl.min_count);
  // Tamper lanes: the condition (thin) and the raised state (thick).
  for (int kind = 0; kind < 4; ++kind) {
    const double lane = kPlotTop + kPlotHeight + 40 + kind * 16;
    std::fprintf(f, "<text x=\"10\" y=\"%.0f\">%s</text>\n", lane + 9, kTamperNames[kind]);
    for (size_t i = 0; i < tl.samples.size(); ++i) {
      const TimelineSample& s = tl.samples[i];
      const double next = i + 1 < tl.samples.size() ? tl.samples[i + 1].t : s.t + 0.2;
      if (!s.condition[kind] && !s.raised[kind]) continue;
      std::fprintf(f, "<rect x=\"%.1f\" y=\"%.0f\" width=\"%.2f\" height=\"%d\" fill=\"%s\"/>\n",
                   x(s.t), lane + (s.raised[kind] ? 0 : 4), x(next) - x(s.t),
                   s.raised[kind] ? 12 : 4, kTamperColours[kind]);
    }
  }
  // The time axis, every 10 s.
  const double axis = height - 24;
  for (int t = 0; t <= static_cast<int>(end); t += 10) {
    std::fprintf(f,
                 "<line x1=\"%.1f\" x2=\"%.1f\" y1=\"26\" y2=\"%.0f\" stroke=\"#eee\"/>"
                 "<text x=\"%.1f\" y=\"%.0f\" text-anchor=\"middle\">%d s</text>\n",
                 x(t), x(t), axis - 8, x(t), axis + 6, t);
  }
  std::fprintf(
      f,
      "<text x=\"10\" y=\"%.0f\" fill=\"#666\">green: objects in the picture, blue: what else "
      "happens; red: motion true; grey: quiet; lanes: tamper condition (thin), state "
      "raised (thick)</text>\n"
      "</svg>\n",
      height - 4);
  return std::fclose(f) == 0;
}

}  // namespace bench
