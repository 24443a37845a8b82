#include "sim/SvgPicture.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "protocol/Utf8.h"

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

// Text as XML character data in a UTF-8 file: markup escaped, and what XML forbids or UTF-8
// cannot hold (control characters, noncharacters such as U+FFFE, bytes of another encoding)
// shown as '?'.
std::string escape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      std::uint32_t code = 0;
      std::size_t n = Nxt::utf8Sequence(reinterpret_cast<const std::uint8_t*>(text.data()),
                                        text.size(), i, code);
      bool shown = n != 0 && !Nxt::unsafeCharacter(code);
      out += shown ? text.substr(i, n) : std::string("?");
      i += n == 0 ? 0 : n - 1;  // one '?' for a whole unsafe character
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
  // A new file of our own beside the picture (mkstemp: never an existing file, a symlink's
  // target or a FIFO), put in place whole by rename.
  std::string temporary = path + ".part.XXXXXX";
  int fd = ::mkstemp(&temporary[0]);
  if (fd < 0) {
    return false;
  }
  std::ostringstream text;
  write(robot, text);
  const std::string svg = text.str();
  bool written = ::fchmod(fd, 0644) == 0;
  for (std::size_t done = 0; written && done < svg.size();) {
    ssize_t n = ::write(fd, svg.data() + done, svg.size() - done);
    written = n > 0 || (n < 0 && errno == EINTR);
    done += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  written = ::close(fd) == 0 && written;
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  int why = errno;
  std::remove(temporary.c_str());  // half a picture, or one that cannot be put in place
  errno = why;                     // the caller reports the reason
  return false;
}

}  // namespace Sim
