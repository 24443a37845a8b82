// A brick in software: answers direct and system command telegrams as a real brick does,
// keeps the state they act on (outputs, inputs, the ultrasonic sensor, name, battery), records
// the telegrams it receives (counts of all, the last kKept as they came), and can be scripted to
// misbehave.
//
// It is a plain state machine with no I/O and no clock of its own: a host (PtyServer, or a test
// calling answer() directly) carries the bytes, and an Environment, when set, supplies what the
// sensors see and learns what the motors are told.
#ifndef SIM_VIRTUALBRICK_H
#define SIM_VIRTUALBRICK_H

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/BrickProgram.h"
#include "sim/Environment.h"
#include "sim/FlashStore.h"
#include "sim/I2cModel.h"
#include "sim/IoMaps.h"
#include "sim/SleepTimer.h"

namespace Sim {

using Bytes = std::vector<std::uint8_t>;

class VirtualBrick {
 public:
  VirtualBrick();

  // Answers one telegram, type byte first. Returns the reply telegram (0x02 first), or an empty
  // one when no reply is due (a no-reply telegram, or a scripted silence).
  Bytes answer(const std::uint8_t* telegram, std::size_t n);
  Bytes answer(const Bytes& telegram) { return answer(telegram.data(), telegram.size()); }

  // The link the telegrams come over. USB (the default) carries at most 64 bytes a telegram;
  // Bluetooth up to 128 (kMaxBluetoothTelegram), and a READ over it answers all it asks for in
  // one reply.
  enum class Link { Usb, Bluetooth };
  void setLink(Link link);
  static constexpr std::size_t kMaxBluetoothTelegram = 128;

  // An extended WRITE (Bluetooth only): a WRITE telegram longer than 128 bytes, taken in pieces
  // as they arrive. `head` holds its first bytes (type, opcode, handle, maybe data), `length` is
  // the telegram's whole length as its prefix says. Each piece's data goes to the file at once;
  // endWrite() gives the one reply (empty for type 0x81).
  void beginWrite(const std::uint8_t* head, std::size_t n, std::size_t length);
  void continueWrite(const std::uint8_t* data, std::size_t n);
  Bytes endWrite();

  // A brick serving for days keeps counts, not every telegram and tone: the last kKept of each.
  static constexpr std::size_t kKept = 4096;
  // The last kKept telegrams received, in order, as they arrived (an over-long one cut one byte
  // past the link's most: after its 65th byte over USB, its 129th over Bluetooth).
  const std::deque<Bytes>& received() const { return record; }
  void clearRecord();
  // Telegrams received with this opcode (byte 1) since the record was last cleared.
  std::size_t count(std::uint8_t opcode) const { return counts[opcode]; }
  // Every telegram received since then.
  std::uint64_t receivedCount() const { return total; }

  // Brick state, open to hosts and tests.
  std::string name = "NXT";
  // The radio's address: GET DEVICE INFO, opcode 0x9A and the Comm map report it (each
  // followed by a 0), and a USB brick's serial number is it.
  std::array<std::uint8_t, 6> address{{0x00, 0x16, 0x53, 0x00, 0x00, 0x01}};
  int batteryMillivolts = 9000;
  std::array<OutputState, 3> outputs{};
  std::array<InputState, 4> inputs{};
  std::array<UltrasonicState, 4> ultrasonic{};
  // The digital sensor fitted to each input port's bus; none: the ultrasonic sensor answers.
  std::array<std::shared_ptr<I2cModel>, 4> devices{};
  // False where an analog sensor is fitted instead: nobody answers on that port's bus.
  std::array<bool, 4> sonarFitted{{true, true, true, true}};
  // The last kKept tones played, and how many were played in all.
  std::deque<Tone> tones;
  std::uint64_t toneCount = 0;
  // The user flash, the running program with its mailboxes, and the sleep timer.
  FlashStore flash;
  BrickProgram program;
  SleepTimer sleep;
  // The firmware's modules and their IO maps (module commands).
  IoMaps ioMaps;
  // The sound file playing (PLAYSOUNDFILE), empty when none; and whether it loops.
  std::string soundFile;
  bool soundLoop = false;
  // Status polls that a low-speed transaction answers with 0 bytes ready (status 0x20); the
  // poll after them sees it done (0: done at once). While it runs, an LSWRITE is refused with
  // 0xE0 and leaves it running, and an LSREAD gets 0x20, as on a real brick.
  int ultrasonicLatencyPolls = 0;
  // With an Environment: how long, on the world's clock, a distance transaction takes. While it
  // runs LSGETSTATUS reports 0 bytes ready (status 0x20) and another LSWRITE is refused with
  // 0xE0 instead of restarting it, so a host polling as fast as it can still gets its data.
  double ultrasonicLatencySeconds = 0.0;

  // Scripting. A queued reply is sent, as given, instead of the next computed reply to that
  // opcode; an empty queued reply means silence.
  void scriptReply(std::uint8_t opcode, const Bytes& reply);
  // Bytes-ready values for the next LSGETSTATUS replies on a port: 0 while the transaction
  // runs, more to end it.
  void scriptLsStatus(int port, const std::vector<int>& values);
  // Scaled values for the next GETINPUTVALUES replies on a port (then the state's own value).
  void scriptScaled(int port, const std::vector<int>& values);

  void setEnvironment(Environment* world) { environment = world; }
  // True once the sleep timer has switched the brick off; the environment hears of it once.
  bool switchedOff();

 private:
  // The IO maps show the brick's state and act on it through its own commands.
  friend class IoMaps;
  Bytes compute(const std::uint8_t* t, std::size_t n);
  Bytes setOutputState(const std::uint8_t* t, std::size_t n);
  Bytes getOutputState(const std::uint8_t* t, std::size_t n);
  Bytes setInputMode(const std::uint8_t* t, std::size_t n);
  Bytes getInputValues(const std::uint8_t* t, std::size_t n);
  Bytes lsWrite(const std::uint8_t* t, std::size_t n);
  Bytes lsGetStatus(const std::uint8_t* t, std::size_t n);
  Bytes lsRead(const std::uint8_t* t, std::size_t n);
  bool timedTransactionRunning(const UltrasonicState& us) const;
  bool transactionRunning(const UltrasonicState& us) const;
  void land(UltrasonicState& us);
  Bytes deviceInfo();
  // DirectCommands.cpp: the unpublished direct opcodes, a program's start, input validity.
  Bytes unpublished(const std::uint8_t* t, std::size_t n);
  void resetForProgram();
  void resetTachoCount(int port);
  bool inputValid(const InputState& in) const;
  // DeviceCommands.cpp: POLL, POLL COMMAND LENGTH, BOOT, BLUETOOTH FACTORY RESET, the address.
  Bytes deviceCommand(const std::uint8_t* t, std::size_t n);
  static bool isDeviceCommand(std::uint8_t opcode);
  Bytes playSoundFile(const std::uint8_t* t, std::size_t n);
  Bytes setName(const std::uint8_t* t, std::size_t n);

  std::deque<Bytes> record;
  std::array<std::size_t, 256> counts{};
  std::uint64_t total = 0;
  std::map<std::uint8_t, std::deque<Bytes>> scripted;
  std::array<std::deque<int>, 4> lsStatusScript;
  std::array<std::deque<int>, 4> scaledScript;
  Environment* environment = nullptr;
  bool offTold = false;
  std::size_t mostTelegram;
  bool writeWanted = false;   // the extended WRITE under way asks for a reply
  bool writeRefused = false;  // ... and is refused whole (a link of 64-byte telegrams)
  void keep(const std::uint8_t* t, std::size_t n);
};

}  // namespace Sim

#endif
