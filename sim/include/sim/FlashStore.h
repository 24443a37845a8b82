// The brick's user flash as its file system commands see it: whole files of a size fixed when
// they are opened for writing, stored in 256-byte pages out of a flash of the real size, at
// most 16 handles open at once, and the status codes a real brick answers with.
#ifndef SIM_FLASHSTORE_H
#define SIM_FLASHSTORE_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Sim {

using Bytes = std::vector<std::uint8_t>;

class FlashStore {
 public:
  // What a freshly erased brick offers to user files, in bytes, and its page size.
  static constexpr std::size_t kCapacity = 112640;
  static constexpr std::size_t kPage = 256;
  static constexpr std::size_t kMaxHandles = 16;
  static constexpr std::size_t kMaxFiles = 127;

  struct File {
    std::string name;
    std::uint32_t size = 0;  // the size given at OPEN WRITE
    Bytes data;              // what has been written so far
  };

  // Answers a file system command (opcodes 0x80-0x8C, 0xA0): the reply telegram, 0x02 first.
  Bytes answer(const std::uint8_t* t, std::size_t n);
  static bool handles(std::uint8_t opcode);

  // The most data one READ reply carries: 58 over USB (a 64-byte telegram), all that is asked
  // for over Bluetooth.
  void setMostRead(std::size_t bytes) { mostRead = bytes; }
  // A WRITE whose data come in pieces (an extended WRITE over Bluetooth): the telegram's first
  // `n` bytes and its whole length, then the rest of its data, then the reply. The data go to
  // the file as they come; the size given at OPEN WRITE bounds them, checked at the start.
  void beginWrite(const std::uint8_t* t, std::size_t n, std::size_t length);
  void continueWrite(const std::uint8_t* data, std::size_t n);
  Bytes endWrite();

  // For hosts and tests: store a whole file at once (false when it does not fit), look one up.
  bool store(const std::string& name, const Bytes& data);
  const File* find(const std::string& name) const;
  const std::vector<File>& files() const { return stored; }
  std::size_t freeBytes() const;
  std::size_t openHandles() const;

 private:
  enum class Use { Free, Read, Write, Find };
  struct Handle {
    Use use = Use::Free;
    std::string name;  // the file, or the pattern of a search
    std::size_t position = 0;
  };

  Bytes openRead(const std::uint8_t* t, std::size_t n);
  Bytes openWrite(const std::uint8_t* t, std::size_t n);
  Bytes read(const std::uint8_t* t, std::size_t n);
  Bytes write(const std::uint8_t* t, std::size_t n);
  Bytes close(const std::uint8_t* t, std::size_t n);
  Bytes remove(const std::uint8_t* t, std::size_t n);
  Bytes findFirst(const std::uint8_t* t, std::size_t n);
  Bytes findNext(const std::uint8_t* t, std::size_t n);
  Bytes found(std::uint8_t opcode, std::size_t handle, std::size_t from);
  int freeHandle() const;
  bool isOpen(const std::string& name) const;
  File* lookup(const std::string& name);

  std::vector<File> stored;
  std::array<Handle, kMaxHandles> open{};
  std::size_t mostRead = 58;
  Bytes streamReply;       // the reply of the WRITE under way, its count set at the start
  std::string streamName;  // the file its data go to; empty when it was refused
};

}  // namespace Sim

#endif
