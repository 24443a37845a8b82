#include "sim/Scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace Sim {

namespace {

const double kPi = 3.14159265358979323846;
const double kMargin = 10;
const double kTitle = 8;      // band above the map for the title
const double kScaleBand = 9;  // band below the map for the scale bar
const double kLegendRow = 6.5;
const double kLegendColumn = 52;
const double kDirectionEvery = 20;  // cm of path between two direction marks
const std::size_t kMostNumbers = 300;
const char kPathColour[] = "#0a9396";

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string hex(int r, int g, int b) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", r, g, b);
  return text;
}

std::string colour(World::Colour c) {
  int r;
  int g;
  int b;
  World::rgb(c, r, g, b);
  return hex(r, g, b);
}

// Early blue to late red through green, for a path coloured by time.
std::string timeColour(double fraction) {
  double h = (1 - std::max(0.0, std::min(1.0, fraction))) * 240;
  double c = 0.8;
  double x = c * (1 - std::fabs(std::fmod(h / 60, 2) - 1));
  double r = 0;
  double g = 0;
  double b = 0;
  if (h < 60) {
    r = c, g = x;
  } else if (h < 120) {
    r = x, g = c;
  } else if (h < 180) {
    g = c, b = x;
  } else {
    g = x, b = c;
  }
  return hex(static_cast<int>(r * 255), static_cast<int>(g * 255), static_cast<int>(b * 255));
}

struct Kind {
  const char* kind;
  const char* colour;
  const char* label;
};

// Event colours: none of them is a mat's (black, blue, green, yellow, red, white).
const Kind kEvents[] = {
    {"touch", "#ff00ff", "touch: where the bumper met a wall"},
    {"bump", "#ff8c00", "bump: pushed against a wall"},
    {"turn", "#7f7f7f", "turn"},
    {"tone", "#8e44ad", "tone played"},
    {"lost", "#00e5ff", "brick lost"},
};

}  // namespace

Scene::Scene(const World& world, const std::vector<Robot::PathPoint>& path,
             const std::vector<Robot::Event>& events, const Frame& now)
    : map(world), trail(path), robot(now), travelled(now.distance) {
  maxX = world.width;
  maxY = world.height;
  auto widen = [&](double px, double py) {
    minX = std::min(minX, px);
    minY = std::min(minY, py);
    maxX = std::max(maxX, px);
    maxY = std::max(maxY, py);
  };
  for (const World::Wall& wall : world.walls) {
    widen(wall.a.x, wall.a.y);
    widen(wall.b.x, wall.b.y);
  }
  for (const Robot::PathPoint& p : path) {
    widen(p.x, p.y);
  }
  widen(now.x, now.y);
  int n = 0;
  for (const Robot::Event& e : events) {
    numbered.push_back(Mark{++n, e.kind, e.time, e.x, e.y, e.text});
  }
  double columns = std::max(1.0, std::floor((maxX - minX) / kLegendColumn));
  legendRows = std::ceil(static_cast<double>(legend(Options{}).size()) / columns);
}

const char* Scene::eventColour(const std::string& kind) {
  for (const Kind& k : kEvents) {
    if (kind == k.kind) {
      return k.colour;
    }
  }
  return "#a0a0a0";
}

std::vector<Scene::Entry> Scene::legend(const Options& options) const {
  std::vector<Entry> out;
  out.push_back({"start", "start", "#2a9d2a"});
  std::string path = "path, " + number(travelled) + " cm";
  if (options.colourByTime) {
    path += ", blue at 0 s to red at " + number(robot.time) + " s";
  }
  out.push_back({"path", path, options.colourByTime ? timeColour(0.5) : kPathColour});
  out.push_back({"direction", "direction of travel", kPathColour});
  out.push_back({"robot", "robot now, pointer: heading", "#3a86ff"});
  out.push_back({"wheels", "wheel powers", "#8ac926"});
  out.push_back({"spot", "light sensor spot", "#000000"});
  if (robot.sonar >= 0) {
    out.push_back({"sonar", "ultrasonic cone and reading", "#3a86ff"});
  }
  for (const Kind& k : kEvents) {
    bool present = std::any_of(numbered.begin(), numbered.end(),
                               [&](const Mark& m) { return m.kind == k.kind; });
    if (present) {
      out.push_back({k.kind, std::string("1, 2, ... ") + k.label, k.colour});
    }
  }
  std::vector<World::Colour> mats;
  for (const World::Area& a : map.areas) {
    if (std::find(mats.begin(), mats.end(), a.colour) == mats.end()) {
      mats.push_back(a.colour);
      std::string name = World::colourName(a.colour);
      out.push_back({name + " mat", name + " mat", colour(a.colour)});
    }
  }
  if (!map.lines.empty()) {
    out.push_back({"line", "line on the floor", "#191919"});
  }
  if (!map.walls.empty()) {
    out.push_back({"wall", "wall", "#5a3d1e"});
  }
  return out;
}

double Scene::scaleBar() const {
  double want = (maxX - minX) / 5;
  double best = 1;
  for (double step : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0, 100.0, 200.0, 500.0, 1000.0}) {
    if (step <= want) {
      best = step;
    }
  }
  return best;
}

std::string Scene::x(double v) const {
  return number(v - minX + kMargin);
}

std::string Scene::y(double v) const {
  return number(kTitle + maxY + kMargin - v);  // world y points up, SVG y down
}

std::string Scene::viewBox() const {
  double width = maxX - minX + 2 * kMargin;
  double height = kTitle + maxY - minY + 2 * kMargin + kScaleBand + legendRows * kLegendRow + 3;
  return "0 0 " + number(width) + " " + number(height);
}

std::string Scene::document(const Options& options) const {
  std::istringstream box(viewBox());
  std::string zero;
  double width = 0;
  double height = 0;
  box >> zero >> zero >> width >> height;
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << number(width * 4) << "\" height=\""
      << number(height * 4) << "\" viewBox=\"" << viewBox() << "\" font-family=\"sans-serif\">\n"
      << "<title>" << escape(map.name) << ": the robot's run</title>\n"
      << "<g id=\"world\">\n"
      << worldLayer() << "</g>\n<g id=\"run\">\n"
      << runLayer(options) << "</g>\n<g id=\"robot\">\n"
      << robotLayer() << "</g>\n</svg>\n";
  return out.str();
}

std::string Scene::worldLayer() const {
  std::ostringstream out;
  std::istringstream box(viewBox());
  std::string zero;
  std::string width;
  std::string height;
  box >> zero >> zero >> width >> height;
  out << "<rect x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height
      << "\" fill=\"#dddddd\"/>\n"
      << "<rect x=\"" << x(0) << "\" y=\"" << y(map.height) << "\" width=\"" << number(map.width)
      << "\" height=\"" << number(map.height) << "\" fill=\"" << colour(map.floor) << "\"/>\n";
  for (const World::Area& a : map.areas) {
    out << "<rect x=\"" << x(a.x) << "\" y=\"" << y(a.y + a.height) << "\" width=\""
        << number(a.width) << "\" height=\"" << number(a.height) << "\" fill=\"" << colour(a.colour)
        << "\"><title>" << World::colourName(a.colour) << " mat</title></rect>\n";
  }
  for (const World::Line& l : map.lines) {
    out << "<polyline fill=\"none\" stroke=\"#191919\" stroke-linecap=\"round\" "
           "stroke-linejoin=\"round\" stroke-width=\""
        << number(l.width) << "\" points=\"";
    for (const World::Point& p : l.points) {
      out << x(p.x) << ',' << y(p.y) << ' ';
    }
    out << "\"/>\n";
  }
  for (const World::Wall& wall : map.walls) {
    out << "<line x1=\"" << x(wall.a.x) << "\" y1=\"" << y(wall.a.y) << "\" x2=\"" << x(wall.b.x)
        << "\" y2=\"" << y(wall.b.y)
        << "\" stroke=\"#5a3d1e\" stroke-width=\"2\" stroke-linecap=\"round\"/>\n";
  }
  // The scale bar, under the map's left edge.
  double bar = scaleBar();
  double top = kTitle + maxY - minY + 2 * kMargin + 2;
  std::string left = number(kMargin);
  std::string right = number(kMargin + bar);
  out << "<g id=\"scale\" stroke=\"black\" stroke-width=\"0.6\"><line x1=\"" << left << "\" y1=\""
      << number(top + 2) << "\" x2=\"" << right << "\" y2=\"" << number(top + 2) << "\"/>"
      << "<line x1=\"" << left << "\" y1=\"" << number(top) << "\" x2=\"" << left << "\" y2=\""
      << number(top + 3) << "\"/><line x1=\"" << right << "\" y1=\"" << number(top) << "\" x2=\""
      << right << "\" y2=\"" << number(top + 3) << "\"/></g>\n"
      << "<text x=\"" << number(kMargin + bar + 2) << "\" y=\"" << number(top + 3.5)
      << "\" font-size=\"4\">" << number(bar) << " cm</text>\n";
  return out.str();
}

std::string Scene::pathSvg(const Options& options) const {
  std::ostringstream out;
  double end = trail.empty() ? 0 : trail.back().time;
  std::size_t chunk = options.colourByTime ? std::max<std::size_t>(1, trail.size() / 48 + 1)
                                           : std::max<std::size_t>(1, trail.size());
  for (std::size_t from = 0; from + 1 < trail.size() || from == 0; from += chunk) {
    std::size_t to = std::min(trail.size(), from + chunk + 1);
    std::string stroke =
        options.colourByTime ? timeColour(end > 0 ? trail[from].time / end : 0) : kPathColour;
    out << "<polyline class=\"path\" fill=\"none\" stroke=\"" << stroke
        << "\" stroke-width=\"0.8\" stroke-linejoin=\"round\" points=\"";
    for (std::size_t i = from; i < to; ++i) {
      out << x(trail[i].x) << ',' << y(trail[i].y) << ' ';
    }
    out << "\"><title>path, " << number(travelled) << " cm</title></polyline>\n";
    if (to >= trail.size()) {
      break;
    }
  }
  // Chevrons every so often along the path, pointing the way the robot went.
  double since = 0;
  int shown = 0;
  for (std::size_t i = 1; i < trail.size() && shown < 400; ++i) {
    double dx = trail[i].x - trail[i - 1].x;
    double dy = trail[i].y - trail[i - 1].y;
    since += std::hypot(dx, dy);
    if (since < kDirectionEvery) {
      continue;
    }
    since = 0;
    ++shown;
    double a = std::atan2(dy, dx);
    auto at = [&](double angle, double r) {
      return x(trail[i].x + r * std::cos(a + angle)) + "," +
             y(trail[i].y + r * std::sin(a + angle));
    };
    out << "<polyline class=\"direction\" fill=\"none\" stroke=\"#055f61\" stroke-width=\"0.6\" "
           "points=\""
        << at(2.5, 1.8) << ' ' << at(0, 1.2) << ' ' << at(-2.5, 1.8) << "\"/>\n";
  }
  return out.str();
}

std::string Scene::symbol(const std::string& kind, double cx, double cy) const {
  // cx, cy in drawing units (already mapped).
  std::ostringstream out;
  auto at = [](double v) { return number(v); };
  const char* fill = eventColour(kind);
  if (kind == "touch") {
    out << "<circle cx=\"" << at(cx) << "\" cy=\"" << at(cy) << "\" r=\"1.8\" fill=\"" << fill
        << "\" stroke=\"black\" stroke-width=\"0.3\"/>";
  } else if (kind == "bump") {
    out << "<rect x=\"" << at(cx - 1.6) << "\" y=\"" << at(cy - 1.6)
        << "\" width=\"3.2\" height=\"3.2\" fill=\"" << fill
        << "\" stroke=\"black\" stroke-width=\"0.3\"/>";
  } else if (kind == "turn") {
    out << "<path d=\"M " << at(cx) << ' ' << at(cy - 1.8)
        << " l 1.8 1.8 l -1.8 1.8 l -1.8 -1.8 z\""
        << " fill=\"" << fill << "\" stroke=\"black\" stroke-width=\"0.3\"/>";
  } else if (kind == "tone") {
    out << "<path d=\"M " << at(cx) << ' ' << at(cy - 2) << " l 2 3.5 l -4 0 z\" fill=\"" << fill
        << "\" stroke=\"black\" stroke-width=\"0.3\"/>";
  } else if (kind == "lost") {
    out << "<path d=\"M " << at(cx - 1.8) << ' ' << at(cy - 1.8)
        << " l 3.6 3.6 m 0 -3.6 l -3.6 3.6\""
        << " stroke=\"" << fill << "\" stroke-width=\"1.2\"/>";
  } else if (kind == "start") {
    out << "<circle cx=\"" << at(cx) << "\" cy=\"" << at(cy)
        << "\" r=\"2.5\" fill=\"#2a9d2a\" stroke=\"white\" stroke-width=\"0.5\"/>";
  } else if (kind == "path") {
    out << "<line x1=\"" << at(cx - 3) << "\" y1=\"" << at(cy) << "\" x2=\"" << at(cx + 3)
        << "\" y2=\"" << at(cy) << "\" stroke=\"" << kPathColour << "\" stroke-width=\"0.8\"/>";
  } else if (kind == "direction") {
    out << "<polyline fill=\"none\" stroke=\"#055f61\" stroke-width=\"0.6\" points=\"" << at(cx - 1)
        << ',' << at(cy - 1.5) << ' ' << at(cx + 1) << ',' << at(cy) << ' ' << at(cx - 1) << ','
        << at(cy + 1.5) << "\"/>";
  } else if (kind == "robot" || kind == "sonar") {
    out << "<circle cx=\"" << at(cx) << "\" cy=\"" << at(cy) << "\" r=\"2.2\" fill=\"#3a86ff\" "
        << "fill-opacity=\"" << (kind == "robot" ? "0.35" : "0.12")
        << "\" stroke=\"#1d3557\" stroke-width=\"0.5\"/>";
  } else if (kind == "wheels") {
    out << "<line x1=\"" << at(cx - 2.5) << "\" y1=\"" << at(cy) << "\" x2=\"" << at(cx + 2.5)
        << "\" y2=\"" << at(cy) << "\" stroke=\"#8ac926\" stroke-width=\"1.2\"/>";
  } else if (kind == "spot") {
    out << "<circle cx=\"" << at(cx) << "\" cy=\"" << at(cy)
        << "\" r=\"1.6\" fill=\"white\" stroke=\"black\" stroke-width=\"0.4\" "
           "stroke-dasharray=\"0.8 0.5\"/>";
  } else {
    std::string stroke = kind == "wall" ? "#5a3d1e" : kind == "line" ? "#191919" : "#888888";
    std::string colourOf = "#dddddd";
    for (const Entry& e : legend(Options{})) {
      colourOf = e.kind == kind ? e.colour : colourOf;
    }
    out << "<rect x=\"" << at(cx - 2.5) << "\" y=\"" << at(cy - 1.8)
        << "\" width=\"5\" height=\"3.6\" fill=\"" << colourOf << "\" stroke=\"" << stroke
        << "\" stroke-width=\"0.4\"/>";
  }
  return out.str();
}

std::string Scene::markSvg(const Mark& mark, int stacked) const {
  std::ostringstream out;
  double cx = mark.x - minX + kMargin;
  double cy = kTitle + maxY + kMargin - mark.y;
  // A tone is drawn above its place, so that a run ending where it began keeps its start dot.
  if (mark.kind == "tone") {
    out << "<line x1=\"" << number(cx) << "\" y1=\"" << number(cy) << "\" x2=\"" << number(cx)
        << "\" y2=\"" << number(cy - 4) << "\" stroke=\"#8e44ad\" stroke-width=\"0.3\"/>";
    cy -= 5;
  }
  char when[32];
  std::snprintf(when, sizeof when, "%.1f s: ", mark.time);
  out << "<g class=\"event\" data-number=\"" << mark.number << "\" data-kind=\""
      << escape(mark.kind) << "\"><title>" << mark.number << ". " << when << escape(mark.kind)
      << ", " << escape(mark.text) << "</title>" << symbol(mark.kind, cx, cy);
  if (mark.number <= static_cast<int>(kMostNumbers)) {
    out << "<text x=\"" << number(cx + 2.3) << "\" y=\"" << number(cy - 1.8 - 3.5 * stacked)
        << "\" font-size=\"3.5\" stroke=\"white\" stroke-width=\"0.8\" paint-order=\"stroke\">"
        << mark.number << "</text>";
  }
  out << "</g>\n";
  return out.str();
}

std::string Scene::legendSvg(const Options& options) const {
  std::ostringstream out;
  std::vector<Entry> entries = legend(options);
  double columns = std::max(1.0, std::floor((maxX - minX) / kLegendColumn));
  double top = kTitle + maxY - minY + 2 * kMargin + kScaleBand + 2;
  out << "<g id=\"legend\" font-size=\"3.2\">\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    double col = std::fmod(static_cast<double>(i), columns);
    double row = std::floor(static_cast<double>(i) / columns);
    double cx = kMargin + 3 + col * kLegendColumn;
    double cy = top + row * kLegendRow;
    out << "<g class=\"entry\" data-kind=\"" << escape(entries[i].kind) << "\">"
        << symbol(entries[i].kind, cx, cy) << "<text x=\"" << number(cx + 5) << "\" y=\""
        << number(cy + 1.1) << "\">" << escape(entries[i].label) << "</text></g>\n";
  }
  out << "</g>\n";
  return out.str();
}

std::string Scene::runLayer(const Options& options) const {
  std::ostringstream out;
  out << pathSvg(options) << "<g class=\"start\"><title>start</title>"
      << symbol("start", map.robot.x - minX + kMargin, kTitle + maxY + kMargin - map.robot.y)
      << "</g>\n";
  for (std::size_t i = 0; i < numbered.size(); ++i) {
    int stacked = 0;
    for (std::size_t k = i; k-- > 0 && i - k < 20;) {
      stacked += std::hypot(numbered[k].x - numbered[i].x, numbered[k].y - numbered[i].y) < 4;
    }
    out << markSvg(numbered[i], std::min(stacked, 4));
  }
  out << "<text x=\"" << number(kMargin) << "\" y=\"" << number(kTitle - 2) << "\" font-size=\"5\">"
      << escape(map.name) << ": " << number(travelled) << " cm in " << number(robot.time) << " s, "
      << numbered.size() << (numbered.size() == 1 ? " event" : " events") << "</text>\n"
      << legendSvg(options);
  return out.str();
}

std::string Scene::robotLayer() const {
  std::ostringstream out;
  double h = robot.heading * kPi / 180;
  auto px = [&](double dist, double angle) { return x(robot.x + dist * std::cos(h + angle)); };
  auto py = [&](double dist, double angle) { return y(robot.y + dist * std::sin(h + angle)); };
  out << "<g id=\"robot-now\" data-x=\"" << number(robot.x) << "\" data-y=\"" << number(robot.y)
      << "\" data-heading=\"" << number(robot.heading) << "\" data-time=\"" << number(robot.time)
      << "\">\n";
  if (robot.sonar >= 0) {
    double reach = robot.sonar >= 255 ? 60 : robot.sonar;
    double ox = robot.x + Robot::kSonarAhead * std::cos(h);
    double oy = robot.y + Robot::kSonarAhead * std::sin(h);
    double half = Robot::kSonarHalfAngle * kPi / 180;
    out << "<path class=\"sonar\" d=\"M " << x(ox) << ' ' << y(oy);
    for (double f = -1; f <= 1.001; f += 0.25) {
      out << " L " << x(ox + reach * std::cos(h + f * half)) << ' '
          << y(oy + reach * std::sin(h + f * half));
    }
    out << " Z\" fill=\"#3a86ff\" fill-opacity=\"0.12\" stroke=\"#3a86ff\" stroke-width=\"0.4\""
        << (robot.sonar >= 255 ? " stroke-dasharray=\"2 1\"" : "") << "/>\n"
        << "<text class=\"sonar-reading\" x=\"" << x(ox + (reach + 3) * std::cos(h)) << "\" y=\""
        << y(oy + (reach + 3) * std::sin(h)) << "\" font-size=\"3.5\" text-anchor=\"middle\">"
        << (robot.sonar >= 255 ? std::string("no echo") : std::to_string(robot.sonar) + " cm")
        << "</text>\n";
  }
  World::Colour under = World::Colour::White;
  World::colourFromName(robot.spotColour, under);
  out << "<circle class=\"spot\" cx=\"" << x(robot.spotX) << "\" cy=\"" << y(robot.spotY)
      << "\" r=\"1.6\" fill=\"" << colour(under)
      << "\" stroke=\"black\" stroke-width=\"0.4\" stroke-dasharray=\"0.8 0.5\"/>\n"
      << "<circle cx=\"" << x(robot.x) << "\" cy=\"" << y(robot.y) << "\" r=\""
      << number(map.robot.bodyRadius) << "\" fill=\"#3a86ff\" fill-opacity=\"0.35\" stroke=\""
      << (robot.bumper ? "#ff00ff" : "#1d3557") << "\" stroke-width=\"0.8\"><title>robot now, "
      << number(robot.time) << " s</title></circle>\n"
      << "<line x1=\"" << x(robot.x) << "\" y1=\"" << y(robot.y) << "\" x2=\""
      << px(map.robot.bodyRadius, 0) << "\" y2=\"" << py(map.robot.bodyRadius, 0)
      << "\" stroke=\"#1d3557\" stroke-width=\"1\"/>\n";
  // Each wheel, and a bar along the heading as long as its power (backwards when negative).
  const int ports[2] = {map.robot.leftPort, map.robot.rightPort};
  for (int side = 0; side < 2; ++side) {
    double offset = (side == 0 ? 1 : -1) * kPi / 2;
    double half = map.robot.track / 2;
    double wx = robot.x + half * std::cos(h + offset);
    double wy = robot.y + half * std::sin(h + offset);
    double r = map.robot.wheelDiameter / 2;
    int power = ports[side] >= 0 && ports[side] < 3
                    ? robot.power[static_cast<std::size_t>(ports[side])]
                    : 0;
    double bar = power / 100.0 * 8;
    out << "<line x1=\"" << x(wx - r * std::cos(h)) << "\" y1=\"" << y(wy - r * std::sin(h))
        << "\" x2=\"" << x(wx + r * std::cos(h)) << "\" y2=\"" << y(wy + r * std::sin(h))
        << "\" stroke=\"#023047\" stroke-width=\"1.5\"/>"
        << "<line class=\"power\" x1=\"" << x(wx) << "\" y1=\"" << y(wy) << "\" x2=\""
        << x(wx + bar * std::cos(h)) << "\" y2=\"" << y(wy + bar * std::sin(h))
        << "\" stroke=\"#8ac926\" stroke-width=\"1.2\"><title>power " << power
        << "</title></line>\n";
  }
  out << "</g>\n";
  return out.str();
}

}  // namespace Sim
