// What a picture of a run shows, worked out once for both the live page and the saved SVG so
// that the two never disagree: the world, the path with direction marks (optionally coloured
// by time), the start, the events numbered in the order they happened, the robot now (body,
// heading, wheel powers, sonar cone and reading, light spot), a scale bar and a legend naming
// everything drawn.
//
// A Scene only refers to the path and events it is given: keep them alive while it is used.
#ifndef SIM_SCENE_H
#define SIM_SCENE_H

#include <string>
#include <vector>

#include "sim/Frame.h"
#include "sim/Robot.h"
#include "sim/World.h"

namespace Sim {

class Scene {
 public:
  struct Mark {
    int number;  // 1 for the first event of the run, in time order
    std::string kind;
    double time;
    double x;
    double y;
    std::string text;
  };
  struct Entry {
    std::string kind;  // "start", "path", "touch", "red mat", ...
    std::string label;
    std::string colour;
  };
  struct Options {
    bool colourByTime = false;
  };

  Scene(const World& world, const std::vector<Robot::PathPoint>& path,
        const std::vector<Robot::Event>& events, const Frame& now);

  const std::vector<Mark>& marks() const { return numbered; }
  std::vector<Entry> legend(const Options& options) const;
  // The length of the scale bar, in cm: a round number about a fifth of the drawing's width.
  double scaleBar() const;
  // The colour events of a kind are drawn in; none is a mat's colour.
  static const char* eventColour(const std::string& kind);

  // The whole picture, an SVG document with three layers: <g id="world">, <g id="run"> and
  // <g id="robot">; the page replaces the last two as the run goes on.
  std::string document(const Options& options) const;
  std::string runLayer(const Options& options) const;
  std::string robotLayer() const;
  // "0 0 W H": changes only when the path leaves the drawing.
  std::string viewBox() const;

  // Text as XML character data: markup escaped, control characters and broken UTF-8 as '?'.
  static std::string escape(const std::string& text);

 private:
  std::string x(double v) const;
  std::string y(double v) const;
  std::string worldLayer() const;
  std::string pathSvg(const Options& options) const;
  std::string markSvg(const Mark& mark, int stacked) const;
  std::string legendSvg(const Options& options) const;
  std::string symbol(const std::string& kind, double cx, double cy) const;

  const World& map;
  const std::vector<Robot::PathPoint>& trail;
  Frame robot;
  double travelled;
  std::vector<Mark> numbered;
  double minX = 0;
  double minY = 0;
  double maxX = 0;
  double maxY = 0;
  double legendRows = 1;
};

}  // namespace Sim

#endif
