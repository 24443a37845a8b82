#include "SimFuzz.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/Nxt.h"
#include "protocol/Replies.h"
#include "sim/Frame.h"
#include "sim/Robot.h"
#include "sim/Scene.h"
#include "sim/SteppedClock.h"
#include "sim/TelegramStream.h"
#include "sim/TraceLog.h"
#include "sim/VirtualBrick.h"
#include "sim/World.h"

namespace fuzz {

namespace {

void check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

// Text that a terminal, a log or an XML reader takes as it is: UTF-8, no C0 control but tab
// and line feed (none at all in `oneLine`), no C1 control, line separator or noncharacter.
void expectPlainText(const std::string& text, bool oneLine) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    unsigned c = s[i];
    if (c < 0x80) {
      check(c == '\t' || (c == '\n' && !oneLine) || (c >= 0x20 && c != 0x7F));
      ++i;
      continue;
    }
    std::size_t more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    check(c >= 0xC2 && c <= 0xF4 && i + more < n);
    unsigned code = c & (0x3F >> more);
    for (std::size_t k = 1; k <= more; ++k) {
      check((s[i + k] & 0xC0) == 0x80);
      code = code << 6 | (s[i + k] & 0x3F);
    }
    check(code >= 0xA0 && code != 0x2028 && code != 0x2029 && (code & 0xFFFE) != 0xFFFE &&
          !(code >= 0xFDD0 && code <= 0xFDEF) && !(code >= 0xD800 && code <= 0xDFFF));
    i += more + 1;
  }
}

void answer(Sim::VirtualBrick& brick, const Sim::Bytes& telegram) {
  Sim::Bytes reply = brick.answer(telegram);
  if (!reply.empty()) {
    // The reply to this telegram: its type, its opcode, a status, and no more than a brick
    // can send in one telegram.
    check(reply.size() >= Nxt::Reply::kLength && reply.size() <= Nxt::kMaxTelegram);
    check(reply[0] == Nxt::kReply && telegram.size() >= 2 && reply[1] == telegram[1]);
    check((telegram[0] & 0x80) == 0);
  }
  for (const std::string& line : Sim::TraceLog::lines(telegram, reply)) {
    expectPlainText(line, true);
  }
  check(brick.received().size() <= Sim::VirtualBrick::kKept);
  check(brick.tones.size() <= Sim::VirtualBrick::kKept);
}

}  // namespace

int brickInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::uint8_t how = data[0];
  ++data;
  --size;
  Sim::SteppedClock clock(0.01);
  Sim::VirtualBrick brick;
  Sim::World world = Sim::World::builtIn();
  Sim::Robot robot(world, clock);
  if ((how & 1) != 0) {
    robot.attach(brick);
  }
  Sim::Bytes telegram;
  if ((how & 2) != 0) {
    // As the server reads a client: deliveries of 1 to 64 bytes, cut into telegrams.
    Sim::TelegramStream stream;
    const std::size_t delivery = 1 + (how >> 2);
    for (std::size_t at = 0; at < size; at += delivery) {
      stream.add(data + at, size - at < delivery ? size - at : delivery);
      while (stream.next(telegram)) {
        if (!telegram.empty()) {
          answer(brick, telegram);
        }
      }
    }
  } else {
    // Telegrams of 0 to 255 bytes, each led by its length: truncated and over-long alike.
    for (std::size_t at = 0; at < size;) {
      std::size_t n = data[at++];
      n = n < size - at ? n : size - at;
      telegram.assign(data + at, data + at + n);
      at += n;
      answer(brick, telegram);
    }
  }
  return 0;
}

int worldFile(const std::uint8_t* data, std::size_t size) {
  Sim::World world;
  std::string error;
  if (!Sim::World::parse(std::string(reinterpret_cast<const char*>(data), size), world, error)) {
    check(!error.empty());
    expectPlainText(error, true);
    return 0;
  }
  Sim::SteppedClock clock(0.05);
  Sim::VirtualBrick brick;
  Sim::Robot robot(world, clock);
  robot.attach(brick);
  const std::uint8_t kinds[4] = {Nxt::kSwitch, Nxt::kLightActive, Nxt::kColorFull,
                                 Nxt::kLowSpeed9V};
  for (std::uint8_t port = 0; port < 4; ++port) {
    brick.answer(Sim::Bytes{Nxt::kDirectCommand, Nxt::kSetInputMode, port, kinds[port], 0x80});
  }
  // Ahead, then turning: into walls, along lines, over areas, whatever the world holds.
  brick.answer(Sim::Bytes{Nxt::kDirectCommand, Nxt::kSetOutputState, 0xFF, 80, 0x05, 0x01, 0, 0x20,
                          0, 0, 0, 0});
  for (int i = 0; i < 40; ++i) {
    if (i == 20) {
      brick.answer(Sim::Bytes{Nxt::kDirectCommand, Nxt::kSetOutputState, 1, 0xB0, 0x05, 0x01, 0,
                              0x20, 0, 0, 0, 0});
    }
    for (std::uint8_t port = 0; port < 3; ++port) {
      brick.answer(Sim::Bytes{Nxt::kDirectCommand, Nxt::kGetInputValues, port});
    }
    robot.ultrasonicDistance(3);
  }
  // A world the reader takes never breaks the physics (a track of 1e-307 gave a NaN pose).
  Sim::Robot::Pose pose = robot.pose();
  check(std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.heading));
  Sim::Scene scene(robot.world(), robot.path(), robot.events(), Sim::Frame::of(robot));
  Sim::Scene::Options options;
  options.colourByTime = (size & 1) != 0;
  std::string svg = scene.document(options);
  expectPlainText(svg, false);
  check(svg.find("</svg>") != std::string::npos);
  expectPlainText(robot.summary(), false);
  return 0;
}

}  // namespace fuzz
