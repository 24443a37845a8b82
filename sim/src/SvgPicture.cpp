#include "sim/SvgPicture.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace Sim {

namespace {

const double kPi = 3.14159265358979323846;
const double kMargin = 10;

std::string colour(World::Colour c) {
  int r;
  int g;
  int b;
  World::rgb(c, r, g, b);
  char text[16];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", r, g, b);
  return text;
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// Length of the well-formed UTF-8 sequence starting at text[i], or 0.
std::size_t utf8Length(const std::string& text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || i + n > text.size()) {
    return 0;
  }
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      return 0;
    }
  }
  // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not UTF-8 either.
  unsigned char second = byte(i + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return n;
}

// Text as XML character data in a UTF-8 file: markup escaped, and what XML forbids or UTF-8
// cannot hold (control characters, bytes of another encoding) shown as '?'.
std::string escape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      std::size_t n = utf8Length(text, i);
      out += n == 0 ? std::string("?") : text.substr(i, n);
      i += n == 0 ? 0 : n - 1;
      continue;
    }
    if (u < 0x20 || u == 0x7F) {
      out += '?';
      continue;
    }
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

void SvgPicture::write(const Robot& robot, std::ostream& out) {
  const World& w = robot.world();
  // The drawing covers the arena, or whatever the walls and the path reach.
  double minX = 0;
  double minY = 0;
  double maxX = w.width;
  double maxY = w.height;
  auto widen = [&](double x, double y) {
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  };
  for (const World::Wall& wall : w.walls) {
    widen(wall.a.x, wall.a.y);
    widen(wall.b.x, wall.b.y);
  }
  for (const Robot::PathPoint& p : robot.path()) {
    widen(p.x, p.y);
  }
  double width = maxX - minX + 2 * kMargin;
  double height = maxY - minY + 2 * kMargin;
  // World y points up, SVG y down: every y goes through flip().
  auto flip = [&](double y) { return number(maxY + kMargin - y); };
  auto x = [&](double v) { return number(v - minX + kMargin); };

  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << number(width * 4) << "\" height=\""
      << number(height * 4) << "\" viewBox=\"0 0 " << number(width) << ' ' << number(height)
      << "\">\n"
      << "<title>" << escape(w.name) << ": the robot's run</title>\n"
      << "<rect x=\"0\" y=\"0\" width=\"" << number(width) << "\" height=\"" << number(height)
      << "\" fill=\"#dddddd\"/>\n"
      << "<rect x=\"" << x(0) << "\" y=\"" << flip(w.height) << "\" width=\"" << number(w.width)
      << "\" height=\"" << number(w.height) << "\" fill=\"" << colour(w.floor) << "\"/>\n";
  for (const World::Area& a : w.areas) {
    out << "<rect x=\"" << x(a.x) << "\" y=\"" << flip(a.y + a.height) << "\" width=\""
        << number(a.width) << "\" height=\"" << number(a.height) << "\" fill=\"" << colour(a.colour)
        << "\"><title>" << World::colourName(a.colour) << " mat</title></rect>\n";
  }
  for (const World::Line& l : w.lines) {
    out << "<polyline fill=\"none\" stroke=\"#191919\" stroke-linecap=\"round\" "
           "stroke-linejoin=\"round\" stroke-width=\""
        << number(l.width) << "\" points=\"";
    for (const World::Point& p : l.points) {
      out << x(p.x) << ',' << flip(p.y) << ' ';
    }
    out << "\"/>\n";
  }
  for (const World::Wall& wall : w.walls) {
    out << "<line x1=\"" << x(wall.a.x) << "\" y1=\"" << flip(wall.a.y) << "\" x2=\"" << x(wall.b.x)
        << "\" y2=\"" << flip(wall.b.y)
        << "\" stroke=\"#5a3d1e\" stroke-width=\"2\" stroke-linecap=\"round\"/>\n";
  }
  out << "<polyline fill=\"none\" stroke=\"#0a9396\" stroke-width=\"0.8\" "
         "stroke-linejoin=\"round\" points=\"";
  for (const Robot::PathPoint& p : robot.path()) {
    out << x(p.x) << ',' << flip(p.y) << ' ';
  }
  out << "\"><title>path, " << number(robot.distanceTravelled()) << " cm</title></polyline>\n";
  out << "<circle cx=\"" << x(w.robot.x) << "\" cy=\"" << flip(w.robot.y)
      << "\" r=\"2.5\" fill=\"#2a9d2a\"><title>start</title></circle>\n";
  for (const Robot::Event& e : robot.events()) {
    const char* fill = e.kind == "touch" ? "#d62828" : e.kind == "tone" ? "#7b2cbf" : "#f4a261";
    char when[32];
    std::snprintf(when, sizeof when, "%.1f s: ", e.time);
    if (e.kind == "tone") {
      out << "<path d=\"M " << x(e.x) << ' ' << number(maxY + kMargin - e.y - 3.5)
          << " l 3 5 l -6 0 z\"";
    } else {
      out << "<circle cx=\"" << x(e.x) << "\" cy=\"" << flip(e.y) << "\" r=\"2\"";
    }
    out << " fill=\"" << fill << "\" stroke=\"black\" stroke-width=\"0.3\"><title>" << when
        << escape(e.kind) << ", " << escape(e.text) << "</title></"
        << (e.kind == "tone" ? "path" : "circle") << ">\n";
  }
  // The robot where it is now: its body and a pointer along its heading.
  Robot::Pose pose = robot.pose();
  double r = w.robot.bodyRadius;
  double hx = pose.x + r * std::cos(pose.heading * kPi / 180);
  double hy = pose.y + r * std::sin(pose.heading * kPi / 180);
  out << "<circle cx=\"" << x(pose.x) << "\" cy=\"" << flip(pose.y) << "\" r=\"" << number(r)
      << "\" fill=\"#3a86ff\" fill-opacity=\"0.35\" stroke=\"#1d3557\" stroke-width=\"0.8\">"
      << "<title>robot now</title></circle>\n"
      << "<line x1=\"" << x(pose.x) << "\" y1=\"" << flip(pose.y) << "\" x2=\"" << x(hx)
      << "\" y2=\"" << flip(hy) << "\" stroke=\"#1d3557\" stroke-width=\"1\"/>\n";
  out << "<text x=\"" << number(kMargin) << "\" y=\"" << number(kMargin * 0.7)
      << "\" font-family=\"sans-serif\" font-size=\"5\">" << escape(w.name) << ": "
      << number(robot.distanceTravelled()) << " cm in " << number(robot.worldSeconds())
      << " s; teal: path, red: touch, orange: bump, purple: tone</text>\n";
  out << "</svg>\n";
}

bool SvgPicture::save(const Robot& robot, const std::string& path) {
  std::string temporary = path + ".part";
  bool written = false;
  {
    std::ofstream file(temporary);
    if (!file) {
      return false;
    }
    write(robot, file);
    written = static_cast<bool>(file.flush());
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  int why = errno;
  std::remove(temporary.c_str());  // half a picture, or one that cannot be put in place
  errno = why;                     // the caller reports the reason
  return false;
}

}  // namespace Sim
