// The brick's user flash as its file system commands see it: a table of whole files, each in
// 256-byte sectors of its own with a 36-byte header, 16 handles of which 4 may write, names
// compared case-insensitively, and the status codes the brick's loader answers with.
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
  // What a freshly erased brick offers to user files, in bytes, and its sector size.
  static constexpr std::size_t kCapacity = 112640;
  static constexpr std::size_t kSector = 256;
  static constexpr std::size_t kHeader = 36;
  static constexpr std::size_t kMaxHandles = 16;
  static constexpr std::size_t kMaxWriters = 4;
  static constexpr std::size_t kMaxFiles = 127;

  struct File {
    std::string name;
    std::uint32_t size = 0;  // the size given at OPEN WRITE: what the file's sectors hold
    Bytes data;              // what has been written
    bool dataFile = false;   // opened with OPEN WRITE DATA: may be closed short, appended to
  };

  // Answers a file system command (opcodes 0x80-0x8C, 0xA0): the reply telegram, 0x02 first.
  Bytes answer(const std::uint8_t* t, std::size_t n);
  static bool handles(std::uint8_t opcode);

  // The most data one READ reply carries: 58 over USB (a 64-byte telegram), all that is asked
  // for over Bluetooth.
  void setMostRead(std::size_t bytes) { mostRead = bytes; }
  // A WRITE whose data come in pieces (an extended WRITE over Bluetooth): the telegram's first
  // `n` bytes and its whole length, then the rest of its data, then the reply. The data go to
  // the file as they come, as far as its declared size lets them.
  void beginWrite(const std::uint8_t* t, std::size_t n, std::size_t length);
  void continueWrite(const std::uint8_t* data, std::size_t n);
  Bytes endWrite();

  // For hosts and tests: store a whole file at once (false when the brick would not take it),
  // look one up in the table by name, in any case.
  bool store(const std::string& name, const Bytes& data);
  const File* find(const std::string& name) const;
  const std::vector<File>& files() const { return stored; }
  // The largest file OPEN WRITE still takes, as GET DEVICE INFO reports it.
  std::size_t freeBytes() const;
  std::size_t openHandles() const;

 private:
  enum class Use { Free, Read, Write, Find };
  struct Handle {
    Use use = Use::Free;
    std::string name;  // the file read, or the pattern of a search
    std::size_t position = 0;
    File file;             // the file being written: it enters the table at CLOSE
    bool overrun = false;  // a WRITE went past its size: the file is dropped at CLOSE
  };

  Bytes openRead(const std::uint8_t* t, std::size_t n);
  Bytes openWrite(const std::uint8_t* t, std::size_t n);
  Bytes openAppend(const std::uint8_t* t, std::size_t n);
  Bytes read(const std::uint8_t* t, std::size_t n);
  Bytes write(const std::uint8_t* t, std::size_t n);
  Bytes close(const std::uint8_t* t, std::size_t n);
  Bytes remove(const std::uint8_t* t, std::size_t n);
  Bytes findFirst(const std::uint8_t* t, std::size_t n);
  Bytes findNext(const std::uint8_t* t, std::size_t n);
  Bytes found(std::uint8_t opcode, std::size_t handle, std::size_t from);
  std::size_t append(Handle& h, const std::uint8_t* data, std::size_t n);
  std::uint8_t refusedWriter() const;
  int freeHandle() const;
  std::size_t count(Use use) const;
  bool beingWritten(const std::string& name) const;
  bool openForReading(const std::string& name) const;
  std::size_t usedSectors() const;
  std::vector<File>::iterator lookup(const std::string& name);
  // The file in the table an OPEN READ or OPEN APPEND DATA names; end(), with the brick's
  // refusal in `refusal`, for a telegram too short, a name the brick refuses or no such file.
  std::vector<File>::iterator storedFile(const std::uint8_t* t, std::size_t n, Bytes& refusal);

  std::vector<File> stored;
  std::array<Handle, kMaxHandles> open{};
  std::size_t mostRead = 58;
  Bytes streamReply;             // the reply of the extended WRITE under way
  std::size_t streamHandle = 0;  // its handle, when streamReply is still a success
  std::size_t streamCount = 0;   // the bytes it has written
};

}  // namespace Sim

#endif
