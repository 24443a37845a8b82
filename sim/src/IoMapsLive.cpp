// The IO maps kept in step with the virtual brick: filled from its state before a host reads
// them, and what a host writes carried out the way the firmware acts on it. Actions go through
// the brick's own direct commands, so a motor set through the Output map moves as one set by
// SETOUTPUTSTATE does.
#include <algorithm>
#include <cstring>

#include "AnswerParts.h"
#include "protocol/Commands.h"
#include "protocol/FileTelegrams.h"
#include "protocol/IoMapLayout.h"
#include "sim/IoMaps.h"

namespace Sim {

namespace L = Nxt::IoMaps;
using Nxt::put;

namespace {

double now(const Environment* environment) {
  return environment != nullptr ? environment->worldSeconds() : 0.0;
}

// The UI's charge steps, 0 to 4, from the voltage: full at 8.8 V and above, empty below 7 V.
int batteryState(int millivolts) {
  return std::min(4, std::max(0, (millivolts - 6400) / 600));
}

void putText(std::uint8_t* field, std::size_t width, const std::string& text) {
  std::memset(field, 0, width);
  std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

std::string textAt(const std::uint8_t* field, std::size_t width) {
  const char* chars = reinterpret_cast<const char*>(field);
  return std::string(chars, strnlen(chars, width));
}

bool overlaps(std::size_t offset, std::size_t count, std::size_t from, std::size_t width) {
  return offset < from + width && from < offset + count;
}

}  // namespace

void IoMaps::refresh(std::uint32_t id, VirtualBrick& brick) {
  noteSound(brick);
  Bytes& bytes = maps[id];
  switch (id) {
    case L::kOutputId:
      return refreshOutput(brick);
    case L::kInputId:
      return refreshInput(brick);
    case L::kDisplayId:
      return refreshScreen(brick);
    case L::kButtonId:
      // Rewritten from the buttons every 2 ms: none is held down.
      std::fill(bytes.begin() + L::Button::kState, bytes.end(), 0);
      return;
    case L::kSoundId:
      return refreshSound(brick);
    case L::kUiId:
      return refreshUi(brick);
    case L::kCommId: {
      putText(bytes.data() + L::Comm::kBrickName, L::Comm::kBrickNameBytes, brick.name);
      std::memcpy(bytes.data() + L::Comm::kAddress, brick.address.data(), brick.address.size());
      return;
    }
    case L::kCommandId: {
      double seconds = now(brick.environment);
      put(bytes.data(), L::Command::kTick, static_cast<std::uint32_t>(seconds * 1000.0));
      bool running = brick.program.running();
      put(bytes.data(), L::Command::kProgramStatus,
          running ? L::Command::kProgramRunning : L::Command::kProgramIdle);
      put(bytes.data(), L::Command::kAwake, 1);
      putText(bytes.data() + L::Command::kFileName, Nxt::Files::kNameField,
              running ? brick.program.name() : "");
      return;
    }
    case L::kLoaderId:
      put(bytes.data(), L::Loader::kFreeUserFlash,
          static_cast<std::uint32_t>(brick.flash.freeBytes()));
      return;
    default:
      return;
  }
}

void IoMaps::refreshOutput(VirtualBrick& brick) {
  namespace O = L::Output;
  for (std::size_t p = 0; p < brick.outputs.size(); ++p) {
    const OutputState& out = brick.outputs[p];
    std::uint8_t* r = maps[L::kOutputId].data() + p * O::kPortBytes;
    put(r, O::kTachoCount, static_cast<std::uint32_t>(out.tachoCount));
    put(r, O::kBlockTachoCount, static_cast<std::uint32_t>(out.blockTachoCount));
    put(r, O::kRotationCount, static_cast<std::uint32_t>(out.rotationCount));
    put(r, O::kFlags, 0);  // taken
    bool on = (out.mode & Nxt::kModeMotorOn) != 0 && out.runState != Nxt::kRunStateIdle;
    put(r, O::kActualSpeed, on ? static_cast<std::uint8_t>(out.power) : 0);
    put(r, O::kRunState, out.runState);
    // The fields a host asks with: what a host wrote there stays until a command (or the
    // update flags) changes the motor, as the firmware reads them only then.
    OutputState& seen = outputsSeen[p];
    if (out.power != seen.power || out.mode != seen.mode || out.regulation != seen.regulation ||
        out.turnRatio != seen.turnRatio || out.tachoLimit != seen.tachoLimit) {
      put(r, O::kTachoLimit, out.tachoLimit);
      put(r, O::kMode, out.mode);
      put(r, O::kSpeed, static_cast<std::uint8_t>(out.power));
      put(r, O::kRegMode, out.regulation);
      put(r, O::kSyncTurn, static_cast<std::uint8_t>(out.turnRatio));
      seen = out;
    }
  }
}

void IoMaps::refreshInput(VirtualBrick& brick) {
  namespace I = L::Input;
  for (std::size_t p = 0; p < brick.inputs.size(); ++p) {
    InputState& in = brick.inputs[p];
    if (brick.environment != nullptr) {
      brick.environment->readInput(static_cast<int>(p), in);
    }
    std::uint8_t* r = maps[L::kInputId].data() + p * I::kSensorBytes;
    put(r, I::kAdRaw, in.raw);
    put(r, I::kSensorRaw, in.raw);
    put(r, I::kSensorValue, static_cast<std::uint16_t>(in.scaled));
    put(r, I::kSensorType, in.type);
    put(r, I::kSensorMode, in.mode);
    put(r, I::kSensorBoolean, in.raw < 512 ? 1 : 0);  // a pressed switch pulls the line low
    put(r, I::kInvalidData, in.valid ? 0 : 1);
  }
}

void IoMaps::refreshScreen(VirtualBrick& brick) {
  BrickScreen::Shows shows;
  shows.name = brick.name;
  shows.batteryState = batteryState(brick.batteryMillivolts);
  shows.program = brick.program.running() ? brick.program.name() : "";
  if (!drawn || shows != shown) {
    BrickScreen::draw(shows, maps[L::kDisplayId].data() + L::Display::kNormal);
    shown = shows;
    drawn = true;
  }
}

void IoMaps::noteSound(VirtualBrick& brick) {
  if (brick.toneCount != tonesSeen && !brick.tones.empty()) {
    tonesSeen = brick.toneCount;
    toneEnds = now(brick.environment) + brick.tones.back().duration / 1000.0;
  }
  std::size_t stops = brick.count(Nxt::kStopSoundPlayback);
  if (stops != stopsSeen) {
    stopsSeen = stops;
    toneEnds = -1;
  }
}

void IoMaps::refreshSound(VirtualBrick& brick) {
  namespace S = L::Sound;
  std::uint8_t* s = maps[L::kSoundId].data();
  bool tone = toneEnds >= 0 && now(brick.environment) < toneEnds && !brick.tones.empty();
  if (tone) {
    put(s, S::kFrequency, static_cast<std::uint32_t>(brick.tones.back().frequency));
    put(s, S::kDuration, static_cast<std::uint32_t>(brick.tones.back().duration));
    put(s, S::kMode, S::kModeTone);
    put(s, S::kState, S::kStateTone);
  } else if (!brick.soundFile.empty()) {
    putText(s + S::kFileName, S::kFileNameBytes, brick.soundFile);
    put(s, S::kMode, brick.soundLoop ? S::kModeLoop : S::kModeOnce);
    put(s, S::kState, S::kStateFile);
  } else {
    put(s, S::kState, S::kStateIdle);
  }
  put(s, S::kFlags, tone || !brick.soundFile.empty() ? S::kFlagRunning : 0);
  put(s, S::kVolume, volume);
}

void IoMaps::refreshUi(VirtualBrick& brick) {
  namespace U = L::Ui;
  std::uint8_t* u = maps[L::kUiId].data();
  put(u, U::kBatteryMillivolts, static_cast<std::uint32_t>(std::max(0, brick.batteryMillivolts)));
  putText(u + U::kProgramName, U::kProgramNameBytes,
          brick.program.running() ? brick.program.name() : "");
  put(u, U::kButton, 0);    // the menu has taken any press
  put(u, U::kRunState, 1);  // set at start-up
  put(u, U::kBatteryState, static_cast<std::uint32_t>(batteryState(brick.batteryMillivolts)));
  put(u, U::kSleepTimeout, brick.sleep.sleepMs / 60000);
  put(u, U::kVolume, volume);
  put(u, U::kForceOff, 0);
}

void IoMaps::wrote(std::uint32_t id, std::size_t offset, std::size_t count, const Bytes& before,
                   VirtualBrick& brick) {
  Bytes& bytes = maps[id];
  switch (id) {
    case L::kOutputId:
      return wroteOutput(offset, count, brick);
    case L::kInputId:
      return wroteInput(before, brick);
    case L::kSoundId:
      return wroteSound(brick);
    case L::kUiId:
      return wroteUi(brick);
    case L::kCommId:
      // The menu shows the name kept here.
      if (overlaps(offset, count, L::Comm::kBrickName, L::Comm::kBrickNameBytes)) {
        brick.name = textAt(bytes.data() + L::Comm::kBrickName, Nxt::kDeviceNameBytes);
      }
      return;
    case L::kIoCtrlId: {
      std::uint32_t power = Nxt::get(bytes.data(), L::IoCtrl::kPowerOn);
      if (power == L::IoCtrl::kPowerDown || power == L::IoCtrl::kBootMode) {
        brick.sleep.switchOff();  // either way the brick leaves the link
      }
      return;
    }
    default:
      return;
  }
}

void IoMaps::wroteOutput(std::size_t offset, std::size_t count, VirtualBrick& brick) {
  namespace O = L::Output;
  for (std::size_t p = 0; p < brick.outputs.size(); ++p) {
    if (!overlaps(offset, count, p * O::kPortBytes, O::kPortBytes)) {
      continue;
    }
    std::uint8_t* r = maps[L::kOutputId].data() + p * O::kPortBytes;
    std::uint8_t flags = static_cast<std::uint8_t>(Nxt::get(r, O::kFlags));
    OutputState& out = brick.outputs[p];
    std::uint8_t port = static_cast<std::uint8_t>(p);
    bool setMode = (flags & O::kUpdateMode) != 0;
    bool setSpeed = (flags & O::kUpdateSpeed) != 0;
    if ((flags & O::kUpdateTachoLimit) != 0) {
      // A new limit is a movement goal: the direct command's rules for it apply.
      namespace C = Nxt::SetOutputStateCommand;
      Bytes t(C::kLength, 0);
      put(t.data(), Nxt::Command::kType, Nxt::kDirectCommandNoReply);
      put(t.data(), Nxt::Command::kOpcode, Nxt::kSetOutputState);
      put(t.data(), C::kPort, port);
      put(t.data(), C::kPower,
          setSpeed ? r[O::kSpeed.offset] : static_cast<std::uint8_t>(out.power));
      put(t.data(), C::kMode, setMode ? r[O::kMode.offset] : out.mode);
      put(t.data(), C::kRegulation, setMode ? r[O::kRegMode.offset] : out.regulation);
      put(t.data(), C::kTurnRatio,
          setSpeed ? r[O::kSyncTurn.offset] : static_cast<std::uint8_t>(out.turnRatio));
      put(t.data(), C::kRunState, setMode ? r[O::kRunState.offset] : out.runState);
      put(t.data(), C::kTachoLimit, Nxt::get(r, O::kTachoLimit));
      brick.compute(t.data(), t.size());
    } else if (setMode || setSpeed) {
      // Without a new limit the movement under way keeps its goal and its count.
      if (setMode) {
        out.mode = r[O::kMode.offset];
        out.regulation = r[O::kRegMode.offset];
        out.runState = r[O::kRunState.offset];
      }
      if (setSpeed) {
        out.power = static_cast<std::int8_t>(r[O::kSpeed.offset]);
        out.turnRatio = static_cast<std::int8_t>(r[O::kSyncTurn.offset]);
      }
      if (brick.environment != nullptr) {
        brick.environment->outputChanged(static_cast<int>(p), out);
      }
    }
    if ((flags & O::kResetCount) != 0) {
      out.tachoCount = 0;
      if (brick.environment != nullptr) {
        brick.environment->outputChanged(static_cast<int>(p), out);
      }
    }
    for (auto reset :
         {std::make_pair(O::kResetBlockCount, 1), std::make_pair(O::kResetRotationCount, 0)}) {
      if ((flags & reset.first) != 0) {
        std::uint8_t t[] = {Nxt::kDirectCommandNoReply, Nxt::kResetMotorPosition, port,
                            static_cast<std::uint8_t>(reset.second)};
        brick.compute(t, sizeof t);
      }
    }
  }
  refreshOutput(brick);
}

void IoMaps::wroteInput(const Bytes& before, VirtualBrick& brick) {
  namespace I = L::Input;
  const Bytes& after = maps[L::kInputId];
  for (std::size_t p = 0; p < brick.inputs.size(); ++p) {
    std::size_t type = p * I::kSensorBytes + I::kSensorType.offset;
    std::size_t mode = p * I::kSensorBytes + I::kSensorMode.offset;
    if (after[type] != before[type] || after[mode] != before[mode]) {
      // The firmware sets the port up again, as SETINPUTMODE does.
      std::uint8_t t[] = {Nxt::kDirectCommandNoReply, Nxt::kSetInputMode,
                          static_cast<std::uint8_t>(p), after[type], after[mode]};
      brick.compute(t, sizeof t);
    }
  }
}

void IoMaps::wroteSound(VirtualBrick& brick) {
  namespace S = L::Sound;
  std::uint8_t* s = maps[L::kSoundId].data();
  volume = std::min<std::uint8_t>(s[S::kVolume.offset], 4);
  if (s[S::kState.offset] == S::kStateStop) {
    std::uint8_t t[] = {Nxt::kDirectCommandNoReply, Nxt::kStopSoundPlayback};
    brick.compute(t, sizeof t);
    toneEnds = -1;
  }
  if ((s[S::kFlags.offset] & S::kFlagUpdate) != 0) {
    s[S::kFlags.offset] = static_cast<std::uint8_t>(s[S::kFlags.offset] & ~S::kFlagUpdate);
    if (s[S::kMode.offset] == S::kModeTone) {
      std::uint8_t t[Nxt::PlayToneCommand::kLength] = {Nxt::kDirectCommandNoReply, Nxt::kPlayTone};
      put(t, Nxt::PlayToneCommand::kFrequency, Nxt::get(s, S::kFrequency));
      put(t, Nxt::PlayToneCommand::kDuration, Nxt::get(s, S::kDuration));
      brick.compute(t, sizeof t);
    } else {
      // A file the flash does not hold is dropped without a word, as the firmware does.
      std::uint8_t t[3 + Nxt::Files::kNameField] = {
          Nxt::kDirectCommandNoReply, Nxt::kPlaySoundFile,
          static_cast<std::uint8_t>(s[S::kMode.offset] == S::kModeLoop)};
      std::memcpy(t + 3, s + S::kFileName, S::kFileNameBytes);
      t[3 + Nxt::Files::kNameField - 1] = 0;
      brick.compute(t, sizeof t);
    }
  }
  refreshSound(brick);
}

void IoMaps::wroteUi(VirtualBrick& brick) {
  namespace U = L::Ui;
  std::uint8_t* u = maps[L::kUiId].data();
  volume = std::min<std::uint8_t>(u[U::kVolume.offset], 4);
  std::uint8_t flags = u[U::kFlags.offset];
  if ((flags & U::kResetSleepTimer) != 0) {
    brick.sleep.keepAlive();
    u[U::kFlags.offset] = static_cast<std::uint8_t>(flags & ~U::kResetSleepTimer);
  }
  // The menu's codes, 1 to 4, as the Button map counts them.
  static const int kIndex[] = {-1, L::Button::kLeft, L::Button::kEnter, L::Button::kRight,
                               L::Button::kExit};
  std::uint8_t code = u[U::kButton.offset];
  if (code >= U::kButtonLeft && code <= U::kButtonExit) {
    bool exit = code == U::kButtonExit;
    bool disabled = (flags & (exit ? U::kDisableExit : U::kDisableArrowsEnter)) != 0;
    if (!disabled) {
      press(kIndex[code], brick);
    }
  }
  if (u[U::kForceOff.offset] != 0) {
    brick.sleep.switchOff();
  }
  refreshUi(brick);
}

void IoMaps::press(int button, VirtualBrick& brick) {
  namespace B = L::Button;
  std::uint8_t* record =
      maps[L::kButtonId].data() + static_cast<std::size_t>(button) * B::kRecordBytes;
  // A remote press is a short press and its release.
  for (std::size_t counter : {B::kPressedCount, B::kShortReleaseCount, B::kReleaseCount}) {
    ++record[counter];
  }
  if (pressLog.size() == kKept) {
    pressLog.pop_front();
  }
  pressLog.push_back(Press{button, now(brick.environment)});
  if (button == B::kExit && brick.program.running()) {
    // The exit button ends the running program.
    std::uint8_t t[] = {Nxt::kDirectCommandNoReply, Nxt::kStopProgram};
    brick.compute(t, sizeof t);
  }
}

}  // namespace Sim
