// The brick's firmware modules (names, ids, IO-map sizes, in the order the firmware lists them)
// and where the fields a host reads or writes sit in their IO maps. Offsets count from the
// start of the map; numbers are little-endian, as everywhere on the brick.
#ifndef PROTOCOL_IOMAPLAYOUT_H
#define PROTOCOL_IOMAPLAYOUT_H

#include <cstddef>
#include <cstdint>

#include "protocol/Field.h"

namespace Nxt {
namespace IoMaps {

struct Module {
  const char* name;  // as FIND FIRST MODULE reports it
  std::uint32_t id;
  std::uint16_t ioMapSize;
};

const std::uint32_t kCommId = 0x00050001;
const std::uint32_t kInputId = 0x00030001;
const std::uint32_t kButtonId = 0x00040001;
const std::uint32_t kDisplayId = 0x000A0001;
const std::uint32_t kLoaderId = 0x00090001;
const std::uint32_t kLowSpeedId = 0x000B0001;
const std::uint32_t kOutputId = 0x00020001;
const std::uint32_t kSoundId = 0x00080001;
const std::uint32_t kIoCtrlId = 0x00060001;
const std::uint32_t kCommandId = 0x00010001;
const std::uint32_t kUiId = 0x000C0001;

// Every module declares a code size of 0, so FIND FIRST MODULE reports 0 for each. The
// Command map's size takes its program-status field as one byte.
constexpr Module kModules[] = {
    {"Comm.mod", kCommId, 1896},    {"Input.mod", kInputId, 416},
    {"Button.mod", kButtonId, 36},  {"Display.mod", kDisplayId, 1720},
    {"Loader.mod", kLoaderId, 8},   {"Low Speed.mod", kLowSpeedId, 167},
    {"Output.mod", kOutputId, 100}, {"Sound.mod", kSoundId, 30},
    {"IOCtrl.mod", kIoCtrlId, 2},   {"Command.mod", kCommandId, 32828},
    {"Ui.mod", kUiId, 40},
};
constexpr std::size_t kModuleCount = sizeof kModules / sizeof kModules[0];

// The module of an id, or null.
inline const Module* moduleById(std::uint32_t id) {
  for (const Module& module : kModules) {
    if (module.id == id) {
      return &module;
    }
  }
  return nullptr;
}

// Three 32-byte records, one per port A, B, C.
namespace Output {
constexpr std::size_t kPortBytes = 32;
constexpr Field kTachoCount{0, 4};  // signed
constexpr Field kBlockTachoCount{4, 4};
constexpr Field kRotationCount{8, 4};
constexpr Field kTachoLimit{12, 4};
constexpr Field kMotorRpm{16, 2};
constexpr Field kFlags{18, 1};
constexpr Field kMode{19, 1};
constexpr Field kSpeed{20, 1};  // signed: the power asked for
constexpr Field kActualSpeed{21, 1};
constexpr Field kRegP{22, 1};
constexpr Field kRegI{23, 1};
constexpr Field kRegD{24, 1};
constexpr Field kRunState{25, 1};
constexpr Field kRegMode{26, 1};
constexpr Field kOverloaded{27, 1};
constexpr Field kSyncTurn{28, 1};  // signed
// What the firmware is to take from the record, cleared once it has.
const std::uint8_t kUpdateMode = 0x01;
const std::uint8_t kUpdateSpeed = 0x02;
const std::uint8_t kUpdateTachoLimit = 0x04;
const std::uint8_t kResetCount = 0x08;
const std::uint8_t kUpdatePid = 0x10;
const std::uint8_t kResetBlockCount = 0x20;
const std::uint8_t kResetRotationCount = 0x40;
}  // namespace Output

// Four 20-byte sensor records, then four 84-byte colour-sensor records.
namespace Input {
constexpr std::size_t kSensorBytes = 20;
constexpr Field kAdRaw{2, 2};
constexpr Field kSensorRaw{4, 2};
constexpr Field kSensorValue{6, 2};  // signed
constexpr Field kSensorType{8, 1};
constexpr Field kSensorMode{9, 1};
constexpr Field kSensorBoolean{10, 1};
constexpr Field kInvalidData{16, 1};
constexpr std::size_t kColourRecords = 80;
constexpr std::size_t kColourBytes = 84;
}  // namespace Input

// The screen: 8 bands of 100 bytes, a byte 8 pixels one above the other (bit 0 uppermost).
namespace Display {
constexpr Field kFlags{117, 1};
constexpr std::size_t kNormal = 119;
constexpr std::size_t kPopup = 919;
constexpr int kWidth = 100;
constexpr int kHeight = 64;
constexpr std::size_t kScreenBytes = 800;
const std::uint8_t kOn = 0x01;
const std::uint8_t kRefresh = 0x02;
const std::uint8_t kPopupShown = 0x08;
// Whether pixel (x, y) is set in a screen's 800 bytes.
inline bool pixel(const std::uint8_t* screen, int x, int y) {
  return (screen[(y / 8) * kWidth + x] >> (y % 8) & 1) != 0;
}
}  // namespace Display

// Four 8-byte counter records (exit, right, left, enter), then a state byte each.
namespace Button {
constexpr std::size_t kRecordBytes = 8;
constexpr std::size_t kPressedCount = 0;
constexpr std::size_t kShortReleaseCount = 2;
constexpr std::size_t kReleaseCount = 4;
constexpr std::size_t kState = 32;
const int kExit = 0;
const int kRight = 1;
const int kLeft = 2;
const int kEnter = 3;
}  // namespace Button

namespace Sound {
constexpr Field kFrequency{0, 2};
constexpr Field kDuration{2, 2};
constexpr Field kSampleRate{4, 2};
constexpr std::size_t kFileName = 6;
constexpr std::size_t kFileNameBytes = 20;
constexpr Field kFlags{26, 1};
constexpr Field kState{27, 1};
constexpr Field kMode{28, 1};
constexpr Field kVolume{29, 1};
const std::uint8_t kFlagUpdate = 0x01;
const std::uint8_t kFlagRunning = 0x02;
const std::uint8_t kStateIdle = 0;
const std::uint8_t kStateFile = 2;
const std::uint8_t kStateTone = 3;
const std::uint8_t kStateStop = 4;  // written: stop what plays
const std::uint8_t kModeOnce = 0;
const std::uint8_t kModeLoop = 1;
const std::uint8_t kModeTone = 2;
}  // namespace Sound

namespace Ui {
constexpr Field kBatteryMillivolts{4, 2};
constexpr std::size_t kProgramName = 6;  // the last program run, 20 bytes
constexpr std::size_t kProgramNameBytes = 20;
constexpr Field kFlags{26, 1};
constexpr Field kState{27, 1};
constexpr Field kButton{28, 1};
constexpr Field kRunState{29, 1};
constexpr Field kBatteryState{30, 1};  // 0 to 4
constexpr Field kBluetoothState{31, 1};
constexpr Field kUsbState{32, 1};
constexpr Field kSleepTimeout{33, 1};  // minutes
constexpr Field kSleepTimer{34, 1};
constexpr Field kRechargeable{35, 1};
constexpr Field kVolume{36, 1};  // 0 to 4
constexpr Field kForceOff{39, 1};
// Written to kButton: a press of that button, as the menu takes it.
const std::uint8_t kButtonLeft = 1;
const std::uint8_t kButtonEnter = 2;
const std::uint8_t kButtonRight = 3;
const std::uint8_t kButtonExit = 4;
const std::uint8_t kDisableArrowsEnter = 0x02;
const std::uint8_t kDisableExit = 0x04;
const std::uint8_t kResetSleepTimer = 0x10;
}  // namespace Ui

namespace Comm {
constexpr std::size_t kBrickName = 1126;  // 16 bytes, ASCIIZ
constexpr std::size_t kBrickNameBytes = 16;
constexpr std::size_t kAddress = 1144;  // 7 bytes
}  // namespace Comm

namespace Command {
constexpr Field kTick{20, 4};
constexpr Field kProgramStatus{28, 1};
constexpr Field kAwake{29, 1};
constexpr std::size_t kFileName = 32;  // 20 bytes
const std::uint8_t kProgramIdle = 0;
const std::uint8_t kProgramRunning = 2;
}  // namespace Command

namespace Loader {
constexpr Field kFreeUserFlash{4, 4};
}

namespace IoCtrl {
constexpr Field kPowerOn{0, 2};
const std::uint16_t kPowerDown = 0x5A00;
const std::uint16_t kBootMode = 0xA55A;
}  // namespace IoCtrl

}  // namespace IoMaps
}  // namespace Nxt

#endif
