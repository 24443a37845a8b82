// Constants of the brick's published telegram protocol: telegram types, opcodes, status codes
// and the values their fields take. Where each field sits is in Commands.h and Replies.h.
#ifndef PROTOCOL_NXT_H
#define PROTOCOL_NXT_H

#include <cstddef>
#include <cstdint>

namespace Nxt {

// Telegram type, the first byte of every telegram.
const std::uint8_t kDirectCommand = 0x00;
const std::uint8_t kDirectCommandNoReply = 0x80;
const std::uint8_t kSystemCommand = 0x01;
const std::uint8_t kSystemCommandNoReply = 0x81;
const std::uint8_t kReply = 0x02;

// A telegram, type byte included, never exceeds one USB packet.
const std::size_t kMaxTelegram = 64;
// Over Bluetooth a telegram fills the brick's 128-byte buffer, and a WRITE or a READ's reply may
// run on to what the 2-byte length prefix can say (the brick streams it).
const std::size_t kMaxBluetoothTelegram = 128;
const std::size_t kMaxStreamTelegram = 0xFFFF;

// Direct command opcodes.
const std::uint8_t kStartProgram = 0x00;
const std::uint8_t kStopProgram = 0x01;
const std::uint8_t kPlaySoundFile = 0x02;
const std::uint8_t kPlayTone = 0x03;
const std::uint8_t kSetOutputState = 0x04;
const std::uint8_t kSetInputMode = 0x05;
const std::uint8_t kGetOutputState = 0x06;
const std::uint8_t kGetInputValues = 0x07;
const std::uint8_t kResetInputScaledValue = 0x08;
const std::uint8_t kResetMotorPosition = 0x0A;
const std::uint8_t kGetBatteryLevel = 0x0B;
const std::uint8_t kStopSoundPlayback = 0x0C;
const std::uint8_t kKeepAlive = 0x0D;
const std::uint8_t kLsGetStatus = 0x0E;
const std::uint8_t kLsWrite = 0x0F;
const std::uint8_t kLsRead = 0x10;
const std::uint8_t kGetCurrentProgramName = 0x11;
const std::uint8_t kMessageWrite = 0x09;
const std::uint8_t kMessageRead = 0x13;

// System command opcodes.
const std::uint8_t kOpenRead = 0x80;
const std::uint8_t kOpenWrite = 0x81;
const std::uint8_t kRead = 0x82;
const std::uint8_t kWrite = 0x83;
const std::uint8_t kClose = 0x84;
const std::uint8_t kDelete = 0x85;
const std::uint8_t kFindFirst = 0x86;
const std::uint8_t kFindNext = 0x87;
const std::uint8_t kGetFirmwareVersion = 0x88;
const std::uint8_t kOpenWriteLinear = 0x89;
const std::uint8_t kOpenWriteData = 0x8B;
const std::uint8_t kOpenAppendData = 0x8C;
const std::uint8_t kFindFirstModule = 0x90;
const std::uint8_t kFindNextModule = 0x91;
const std::uint8_t kCloseModuleHandle = 0x92;
const std::uint8_t kReadIoMap = 0x94;
const std::uint8_t kWriteIoMap = 0x95;
const std::uint8_t kBoot = 0x97;
const std::uint8_t kDeleteUserFlash = 0xA0;
const std::uint8_t kPollCommandLength = 0xA1;
const std::uint8_t kPoll = 0xA2;
const std::uint8_t kBluetoothFactoryReset = 0xA4;
const std::uint8_t kSetBrickName = 0x98;
const std::uint8_t kGetDeviceInfo = 0x9B;

// Reply status bytes.
const std::uint8_t kStatusOk = 0x00;
const std::uint8_t kStatusPending = 0x20;
const std::uint8_t kStatusRequestFailed = 0xBD;
const std::uint8_t kStatusNoProgram = 0xEC;
const std::uint8_t kStatusNoBuffer = 0xDE;
// File and module status bytes of system command replies.
const std::uint8_t kStatusNoSpace = 0x82;
const std::uint8_t kStatusFileNotFound = 0x87;
const std::uint8_t kStatusHandleClosed = 0x88;
const std::uint8_t kStatusModuleNotFound = 0x90;
const std::uint8_t kStatusIllegalHandle = 0x93;
const std::uint8_t kStatusUnknownOpcode = 0xBE;
const std::uint8_t kStatusInsanePacket = 0xBF;
const std::uint8_t kStatusOutOfRange = 0xC0;
const std::uint8_t kStatusBusError = 0xDD;
const std::uint8_t kStatusBadChannel = 0xDF;
const std::uint8_t kStatusChannelBusy = 0xE0;
const std::uint8_t kStatusIllegalSize = 0xED;
const std::uint8_t kStatusBadPort = 0xF0;
const std::uint8_t kStatusBadArguments = 0xFF;

// SETOUTPUTSTATE mode bits, regulation modes and run states.
const std::uint8_t kModeMotorOn = 0x01;
const std::uint8_t kModeBrake = 0x02;
const std::uint8_t kModeRegulated = 0x04;
const std::uint8_t kRegulationIdle = 0x00;
const std::uint8_t kRegulationMotorSpeed = 0x01;
const std::uint8_t kRegulationMotorSync = 0x02;
const std::uint8_t kRunStateIdle = 0x00;
const std::uint8_t kRunStateRampUp = 0x10;
const std::uint8_t kRunStateRunning = 0x20;
const std::uint8_t kRunStateRampDown = 0x40;

// Sensor types.
const std::uint8_t kNoSensor = 0x00;
const std::uint8_t kSwitch = 0x01;
const std::uint8_t kLightActive = 0x05;
const std::uint8_t kLightInactive = 0x06;
const std::uint8_t kSoundDb = 0x07;
const std::uint8_t kSoundDba = 0x08;
const std::uint8_t kLowSpeed = 0x0A;
const std::uint8_t kLowSpeed9V = 0x0B;
const std::uint8_t kColorFull = 0x0D;
const std::uint8_t kColorRed = 0x0E;
const std::uint8_t kColorGreen = 0x0F;
const std::uint8_t kColorBlue = 0x10;
const std::uint8_t kColorNone = 0x11;

// Sensor modes.
const std::uint8_t kRawMode = 0x00;
const std::uint8_t kBooleanMode = 0x20;
const std::uint8_t kPctFullScaleMode = 0x80;

// The ultrasonic sensor on the low-speed bus.
const std::uint8_t kUltrasonicAddress = 0x02;
const std::uint8_t kUltrasonicVersion = 0x00;
const std::uint8_t kUltrasonicProductId = 0x08;
const std::uint8_t kUltrasonicType = 0x10;
const std::uint8_t kUltrasonicUnits = 0x14;
const std::uint8_t kUltrasonicInterval = 0x40;
const std::uint8_t kUltrasonicCommand = 0x41;
const std::uint8_t kUltrasonicMeasurement0 = 0x42;
const std::uint8_t kUltrasonicOff = 0x00;
const std::uint8_t kUltrasonicSingleShot = 0x01;
const std::uint8_t kUltrasonicContinuous = 0x02;

// The brick's name holds at most this many characters.
const int kDeviceNameBytes = 15;

}  // namespace Nxt

#endif
