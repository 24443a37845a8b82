#include "sim/World.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>

#include "protocol/FileTelegrams.h"
#include "protocol/TelegramText.h"

namespace Sim {

namespace {

const double kPi = 3.14159265358979323846;

struct ColourRow {
  World::Colour colour;
  const char* name;
  int red;
  int green;
  int blue;
};

const ColourRow kColours[] = {
    {World::Colour::Black, "black", 25, 25, 25},  {World::Colour::Blue, "blue", 40, 80, 200},
    {World::Colour::Green, "green", 50, 160, 70}, {World::Colour::Yellow, "yellow", 235, 210, 50},
    {World::Colour::Red, "red", 205, 45, 45},     {World::Colour::White, "white", 240, 240, 240},
};

double segmentDistance(World::Point p, World::Point a, World::Point b) {
  double dx = b.x - a.x;
  double dy = b.y - a.y;
  double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
  t = std::max(0.0, std::min(1.0, t));
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Reads the numbers that follow a keyword; false when one is missing, extra or not finite.
bool numbers(std::istringstream& in, std::vector<double>& out, std::size_t least,
             std::size_t most) {
  std::string word;
  while (in >> word) {
    char* end = nullptr;
    double value = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0' || !std::isfinite(value)) {
      return false;
    }
    out.push_back(value);
  }
  return out.size() >= least && out.size() <= most;
}

// Every size in [least, most]: a positive value that small or that large breaks the physics.
bool sizes(const std::vector<double>& v, std::size_t from, std::size_t to, double most) {
  for (std::size_t i = from; i < to && i < v.size(); ++i) {
    if (!(v[i] >= World::kLeastLength && v[i] <= most)) {
      return false;
    }
  }
  return true;
}

// No world is larger than a kilometre (World::kMostCoordinate).
bool withinReach(const std::string& line) {
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    char* end = nullptr;
    double value = std::strtod(word.c_str(), &end);
    if (end != word.c_str() && *end == '\0' && std::fabs(value) > World::kMostCoordinate) {
      return false;
    }
  }
  return true;
}

// "device PORT KIND [OFFSET [DRIFT]]": one device a port, of a kind bricksim models.
bool device(std::istringstream& in, World& world, std::string& error) {
  static const char* const kKinds[] = {"ultrasonic", "compass",     "accelerometer", "ir-seeker",
                                       "color-v2",   "temperature", "gyro"};
  int port = 0;
  std::string kind;
  std::vector<double> v;
  if (!(in >> port >> kind) || port < 1 || port > 4) {
    error = "device PORT KIND: port 1 to 4";
    return false;
  }
  bool known = false;
  for (const char* k : kKinds) {
    known = known || kind == k;
  }
  if (!known) {
    error =
        "device kinds: ultrasonic, compass, accelerometer, ir-seeker, color-v2, "
        "temperature, gyro";
    return false;
  }
  if (!numbers(in, v, 0, kind == "gyro" ? 2 : 0)) {
    error = kind == "gyro" ? "device PORT gyro [OFFSET [DRIFT]]" : "device PORT " + kind;
    return false;
  }
  if (!v.empty() && (v[0] < 0 || v[0] > 1023)) {
    error = "a gyro's OFFSET runs from 0 to 1023";
    return false;
  }
  if (v.size() > 1 && std::fabs(v[1]) > World::kMostGyroDrift) {
    error = "a gyro's DRIFT runs from -60 to 60 counts a minute";
    return false;
  }
  if (world.deviceAt(port - 1) != nullptr) {
    error = "port " + std::to_string(port) + " has a device already";
    return false;
  }
  World::Device d{port - 1, kind};
  d.gyroOffset = v.empty() ? World::kGyroOffset : v[0];
  d.gyroDrift = v.size() > 1 ? v[1] : 0;
  world.devices.push_back(d);
  return true;
}

}  // namespace

const World::Device* World::deviceAt(int port) const {
  for (const Device& d : devices) {
    if (d.port == port) {
      return &d;
    }
  }
  return nullptr;
}

const char* World::builtInText() {
  return R"(# The built-in arena: a walled room with two short walls, a dark line to follow and three
# coloured mats. Lengths in centimetres, angles in degrees, x to the right, y up.
name arena
arena 240 160
wall 60 160 60 110
wall 170 0 170 30
floor white
area red 195 15 35 30
area blue 10 115 40 35
area green 125 30 30 25
line 2 100 12 100 95 120 125 150 138 185 130 205 110 215 80 200 62 165 62
robot 25 45 0
wheels 1 2
build 5.6 12 9
sound 15
light 40
)";
}

World World::builtIn() {
  World world;
  std::string error;
  parse(builtInText(), world, error);
  return world;
}

bool World::parse(const std::string& text, World& out, std::string& error) {
  World world;
  std::istringstream lines(text);
  std::string raw;
  int number = 0;
  int robotLine = 0;  // 0: no robot line yet
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(lines, raw)) {
    ++number;
    std::string line = raw.substr(0, raw.find('#'));
    std::istringstream in(line);
    std::string keyword;
    if (!(in >> keyword)) {
      continue;
    }
    if (keyword != "name" && keyword != "program" && keyword != "answer" && keyword != "device" &&
        !withinReach(line)) {
      return fail("numbers run from -100000 to 100000 (a kilometre)");
    }
    std::vector<double> v;
    if (keyword == "name") {
      std::string rest;
      std::getline(in, rest);
      rest.erase(0, rest.find_first_not_of(" \t"));
      rest.erase(rest.find_last_not_of(" \t\r") + 1);
      if (rest.empty()) {
        return fail("name needs a text");
      }
      world.name = rest;
    } else if (keyword == "arena") {
      if (!numbers(in, v, 2, 2) || !sizes(v, 0, 2, kMostCoordinate)) {
        return fail("arena WIDTH HEIGHT, each 0.1 to 100000");
      }
      world.width = v[0];
      world.height = v[1];
      Point c[4] = {{0, 0}, {v[0], 0}, {v[0], v[1]}, {0, v[1]}};
      for (int i = 0; i < 4; ++i) {
        world.walls.push_back(Wall{c[i], c[(i + 1) % 4]});
      }
    } else if (keyword == "wall") {
      if (!numbers(in, v, 4, 4)) {
        return fail("wall X1 Y1 X2 Y2");
      }
      world.walls.push_back(Wall{{v[0], v[1]}, {v[2], v[3]}});
    } else if (keyword == "floor" || keyword == "area") {
      std::string name;
      Colour colour;
      if (!(in >> name) || !colourFromName(name, colour)) {
        return fail(keyword + " needs a colour: black, blue, green, yellow, red or white");
      }
      if (keyword == "floor") {
        if (!numbers(in, v, 0, 0)) {
          return fail("floor COLOUR");
        }
        world.floor = colour;
      } else {
        if (!numbers(in, v, 4, 4) || !sizes(v, 2, 4, kMostCoordinate)) {
          return fail("area COLOUR X Y WIDTH HEIGHT, sizes 0.1 to 100000");
        }
        world.areas.push_back(Area{colour, v[0], v[1], v[2], v[3]});
      }
    } else if (keyword == "line") {
      if (!numbers(in, v, 5, 2001) || v.size() % 2 != 1 || !sizes(v, 0, 1, kMostPart)) {
        return fail("line WIDTH X1 Y1 X2 Y2 [X Y ...], width 0.1 to 10000");
      }
      Line l{v[0], {}};
      for (std::size_t i = 1; i + 1 < v.size(); i += 2) {
        l.points.push_back(Point{v[i], v[i + 1]});
      }
      world.lines.push_back(l);
    } else if (keyword == "robot") {
      if (!numbers(in, v, 3, 3)) {
        return fail("robot X Y HEADING");
      }
      world.robot.x = v[0];
      world.robot.y = v[1];
      world.robot.heading = v[2];
      robotLine = number;
    } else if (keyword == "wheels") {
      if (!numbers(in, v, 2, 2) || v[0] != std::floor(v[0]) || v[1] != std::floor(v[1]) ||
          v[0] < 0 || v[0] > 2 || v[1] < 0 || v[1] > 2 || v[0] == v[1]) {
        return fail("wheels LEFT RIGHT: two different output ports, 0 to 2");
      }
      world.robot.leftPort = static_cast<int>(v[0]);
      world.robot.rightPort = static_cast<int>(v[1]);
    } else if (keyword == "build") {
      if (!numbers(in, v, 3, 3) || !sizes(v, 0, 3, kMostPart)) {
        return fail("build WHEEL_DIAMETER TRACK BODY_RADIUS, each 0.1 to 10000");
      }
      world.robot.wheelDiameter = v[0];
      world.robot.track = v[1];
      world.robot.bodyRadius = v[2];
    } else if (keyword == "sound" || keyword == "light") {
      if (!numbers(in, v, 1, 1) || v[0] < 0 || v[0] > 100) {
        return fail(keyword + " LEVEL, 0 to 100");
      }
      (keyword == "sound" ? world.soundLevel : world.ambientLight) = static_cast<int>(v[0]);
    } else if (keyword == "device") {
      if (!device(in, world, error)) {
        return fail(error);
      }
    } else if (keyword == "beacon") {
      if (!numbers(in, v, 2, 2)) {
        return fail("beacon X Y");
      }
      world.hasBeacon = true;
      world.beacon = Point{v[0], v[1]};
    } else if (keyword == "temperature") {
      if (!numbers(in, v, 1, 1) || v[0] < kLeastCelsius || v[0] > kMostCelsius) {
        return fail("temperature CELSIUS, -40 to 125");
      }
      world.celsius = v[0];
    } else if (keyword == "slip") {
      // Percentages, and a whole seed (as every number, at most 100000) so that a run repeats.
      if (!numbers(in, v, 1, 3) || v[0] < 0 || v[0] > kMostSlip ||
          (v.size() > 1 && (v[1] < 0 || v[1] > kMostSlip)) ||
          (v.size() > 2 && (v[2] < 0 || v[2] != std::floor(v[2])))) {
        return fail("slip LOST [ERROR [SEED]]: percentages 0 to 50, a whole seed 0 to 100000");
      }
      world.slip.lost = v[0] / 100;
      world.slip.error = v.size() > 1 ? v[1] / 100 : 0;
      world.slip.seed = v.size() > 2 ? static_cast<unsigned>(v[2]) : 1;
    } else if (keyword == "program") {
      std::string file;
      std::string extra;
      if (!(in >> file) || (in >> extra) || !Nxt::Files::validName(file)) {
        return fail("program NAME, a file name of at most 19 characters such as robot.rxe");
      }
      world.programs.push_back(file);
    } else if (keyword == "press") {
      if (!numbers(in, v, 2, 2) || v[0] < 0 || v[1] <= 0) {
        return fail("press AT SECONDS: the bumper held from AT for SECONDS of world time");
      }
      world.presses.push_back(Press{v[0], v[1]});
    } else if (keyword == "hold") {
      std::string port;
      int letter =
          in >> port && port.size() == 1 ? std::toupper(static_cast<unsigned char>(port[0])) : 0;
      if (letter < 'A' || letter > 'C' || !numbers(in, v, 2, 2) || v[0] < 0 || v[1] <= 0) {
        return fail("hold PORT AT SECONDS: the motor on A, B or C held still from AT for SECONDS");
      }
      world.holds.push_back(Hold{letter - 'A', v[0], v[1]});
    } else if (keyword == "answer") {
      int inbox = -1;
      int outbox = -1;
      std::string prefix;
      if (!(in >> inbox >> outbox) || inbox < 0 || inbox > 9 || outbox < 10 || outbox > 19) {
        return fail("answer INBOX OUTBOX [PREFIX]: inbox 0 to 9, outbox 10 to 19");
      }
      std::getline(in, prefix);
      prefix.erase(0, prefix.find_first_not_of(" \t"));
      prefix.erase(prefix.find_last_not_of(" \t\r") + 1);
      world.answers.push_back(MailboxAnswer{inbox, outbox, prefix});
    } else {
      // Shown, not obeyed: a world file may hold a terminal's escape sequence.
      return fail("unknown keyword \"" + Nxt::shortText(keyword, 40) + "\"");
    }
  }
  if (robotLine == 0) {
    error = "no robot line: where does the robot start?";
    return false;
  }
  if (world.wallDistance(Point{world.robot.x, world.robot.y}) < world.robot.bodyRadius) {
    number = robotLine;  // walls may come later; the start is what to move
    return fail("the robot starts inside a wall");
  }
  out = world;
  return true;
}

bool World::load(const std::string& path, World& out, std::string& error) {
  // Read by hand rather than by stream: a directory must say so, and a device that never ends
  // (/dev/zero) must not be read until memory runs out.
  const std::size_t kMostBytes = 1 << 20;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buffer[4096];
  std::size_t got = 0;
  while (text.size() <= kMostBytes && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
  }
  int failure = std::ferror(file) != 0 ? errno : 0;
  std::fclose(file);
  if (failure != 0) {
    error = "cannot read " + path + ": " + std::strerror(failure);
    return false;
  }
  if (text.size() > kMostBytes) {
    error = path + ": larger than 1 MiB, not a world file";
    return false;
  }
  if (!parse(text, out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

const char* World::colourName(Colour colour) {
  for (const ColourRow& row : kColours) {
    if (row.colour == colour) {
      return row.name;
    }
  }
  return "white";
}

bool World::colourFromName(const std::string& name, Colour& colour) {
  for (const ColourRow& row : kColours) {
    if (name == row.name) {
      colour = row.colour;
      return true;
    }
  }
  return false;
}

void World::rgb(Colour colour, int& red, int& green, int& blue) {
  for (const ColourRow& row : kColours) {
    if (row.colour == colour) {
      red = row.red;
      green = row.green;
      blue = row.blue;
      return;
    }
  }
  red = green = blue = 240;
}

World::Colour World::colourAt(Point p) const {
  for (const Line& l : lines) {
    for (std::size_t i = 0; i + 1 < l.points.size(); ++i) {
      if (segmentDistance(p, l.points[i], l.points[i + 1]) <= l.width / 2) {
        return Colour::Black;
      }
    }
  }
  for (auto a = areas.rbegin(); a != areas.rend(); ++a) {
    if (p.x >= a->x && p.x <= a->x + a->width && p.y >= a->y && p.y <= a->y + a->height) {
      return a->colour;
    }
  }
  return floor;
}

double World::wallDistance(Point p) const {
  double best = std::numeric_limits<double>::max();
  for (const Wall& w : walls) {
    best = std::min(best, segmentDistance(p, w.a, w.b));
  }
  return best;
}

double World::rayDistance(Point o, double headingDegrees, double range) const {
  double dx = std::cos(headingDegrees * kPi / 180);
  double dy = std::sin(headingDegrees * kPi / 180);
  double best = -1;
  for (const Wall& w : walls) {
    // Solve o + t*d = a + s*(b - a) for t >= 0 and s in [0, 1].
    double ex = w.b.x - w.a.x;
    double ey = w.b.y - w.a.y;
    double denom = dx * ey - dy * ex;
    if (std::fabs(denom) < 1e-12) {
      continue;  // parallel: a sensor does not see a wall edge-on
    }
    double fx = w.a.x - o.x;
    double fy = w.a.y - o.y;
    double t = (fx * ey - fy * ex) / denom;
    double s = (fx * dy - fy * dx) / denom;
    if (t >= 0 && s >= 0 && s <= 1 && t <= range && (best < 0 || t < best)) {
      best = t;
    }
  }
  return best;
}

}  // namespace Sim
