// The flat world a simulated robot drives in: an arena of walls, a floor with coloured areas
// and dark lines, and where the robot starts. Read from a small text format (see
// docs/virtual-brick.md); one arena is built in. Lengths are centimetres, angles degrees,
// x to the right and y up.
#ifndef SIM_WORLD_H
#define SIM_WORLD_H

#include <string>
#include <vector>

namespace Sim {

class World {
 public:
  struct Point {
    double x;
    double y;
  };
  struct Wall {
    Point a;
    Point b;
  };
  // The colour sensor's colour numbers.
  enum class Colour { Black = 1, Blue = 2, Green = 3, Yellow = 4, Red = 5, White = 6 };
  struct Area {
    Colour colour;
    double x;
    double y;
    double width;
    double height;
  };
  struct Line {
    double width;
    std::vector<Point> points;
  };
  // The robot's build and start: which outputs drive which wheel, and its measurements.
  struct RobotSetup {
    double x = 30;
    double y = 30;
    double heading = 0;
    int leftPort = 1;
    int rightPort = 2;
    double wheelDiameter = 5.6;
    double track = 12.0;      // distance between the wheels
    double bodyRadius = 9.0;  // the robot is a disc this wide for collisions
  };

  // What a world file (and a recording, which carries one) may hold. Beyond a kilometre the
  // picture's sizes overflow to "inf" and the physics, adding millimetres to huge coordinates,
  // lose them; below a millimetre a track or a wheel turns the robot's pose into NaN.
  static constexpr double kMostCoordinate = 100000;  // cm, either way from 0
  static constexpr double kLeastLength = 0.1;        // a size, a width, the robot's measurements
  static constexpr double kMostPart = 10000;         // cm: a line's width, the robot's measurements

  // The arena used when no world file is given.
  static World builtIn();
  static const char* builtInText();
  // Reads the world format. On failure returns false and says where in `error`.
  static bool parse(const std::string& text, World& out, std::string& error);
  static bool load(const std::string& path, World& out, std::string& error);

  static const char* colourName(Colour colour);
  static bool colourFromName(const std::string& name, Colour& colour);
  // Display colour, 0 to 255 per channel; also what the colour sensor's lamps see.
  static void rgb(Colour colour, int& red, int& green, int& blue);

  // Colour of the floor at a point: lines over areas over the bare floor.
  Colour colourAt(Point p) const;
  // Distance from a point to the nearest wall (a large number when there are none).
  double wallDistance(Point p) const;
  // Distance along a ray to the first wall it meets, or -1 when none is within `range`.
  double rayDistance(Point origin, double headingDegrees, double range) const;

  std::string name = "world";
  double width = 0;
  double height = 0;
  Colour floor = Colour::White;
  std::vector<Wall> walls;
  std::vector<Area> areas;
  std::vector<Line> lines;
  RobotSetup robot;
  // Programs stored in the brick's flash at the start ("program NAME"), and what a running
  // program answers to mailbox messages ("answer INBOX OUTBOX [PREFIX]").
  struct MailboxAnswer {
    int inbox;
    int outbox;
    std::string prefix;
  };
  std::vector<std::string> programs;
  std::vector<MailboxAnswer> answers;
  // A sensor fitted to an input port ("device PORT KIND"): a digital one the low-speed bus
  // answers for (I2cModel::make's kinds), or "gyro", analog, with the raw reading it gives at
  // rest and how fast that reading drifts.
  struct Device {
    int port;  // 0 to 3 (1 to 4 in the file)
    std::string kind;
    double gyroOffset = kGyroOffset;
    double gyroDrift = 0;  // counts a minute
  };
  static constexpr double kGyroOffset = 600;
  static constexpr double kMostGyroDrift = 60;  // counts a minute, either way
  static constexpr double kLeastCelsius = -40;  // the temperature sensor's range
  static constexpr double kMostCelsius = 125;
  std::vector<Device> devices;
  // The device fitted to an input port, or null.
  const Device* deviceAt(int port) const;
  // An infrared ball the IR seeker sees ("beacon X Y").
  bool hasBeacon = false;
  Point beacon{0, 0};
  double celsius = 21;  // the room's temperature ("temperature CELSIUS")
  // Wheel slip ("slip LOST [ERROR [SEED]]", percent): off unless a world asks for it.
  struct Slip {
    double lost = 0;   // share of each wheel's travel lost
    double error = 0;  // standard deviation of a random error on each wheel's travel per step
    unsigned seed = 1;
  };
  static constexpr double kMostSlip = 50;  // percent, for either figure
  Slip slip;
  // Bumper presses a test scripts ("press AT SECONDS"): the bumper reads closed from AT to
  // AT + SECONDS of world time, whatever the walls, so that a program's reactions can be
  // counted without driving into anything.
  struct Press {
    double at;
    double seconds;
  };
  std::vector<Press> presses;
  // Wheels a test holds still ("hold PORT AT SECONDS"): the motor on PORT (0 to 2 for A to C)
  // does not turn from AT to AT + SECONDS of world time, powered or not, as a wheel jammed
  // against an obstacle or held by a hand: its tacho count stands while its run state says
  // it runs, which is how a program sees a stall.
  struct Hold {
    int port;
    double at;
    double seconds;
  };
  std::vector<Hold> holds;
  int soundLevel = 15;    // ambient sound, percent of full scale
  int ambientLight = 40;  // room light, percent, what a sensor with its lamp off sees on white
};

}  // namespace Sim

#endif
