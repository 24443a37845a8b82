// The outcome of a link operation: a code, and the source file and line where it was set.
//
// The combining rule keeps the most serious outcome: once a fatal code (negative) is recorded
// nothing replaces it, a warning (positive) gives way only to a fatal code, and only clear()
// returns the record to success. The class is all inline so that the link library can record
// into it and the class library can hand it to hosts without either linking the other.
#ifndef NFANTOM100_TSTATUS_H
#define NFANTOM100_TSTATUS_H

#include <cstring>

namespace nFANTOM100 {

class tStatus {
 public:
  static const unsigned long kFileNameMax = 100;

  tStatus() : code(0), lineNumber(0) { fileName[0] = '\0'; }
  tStatus(const tStatus& other) : code(other.code), lineNumber(other.lineNumber) {
    copyFileName(other.fileName);
  }
  tStatus(long statusCode, const char* file, unsigned long line)
      : code(statusCode), lineNumber(line) {
    copyFileName(file);
  }
  ~tStatus() {}

  long getCode() const { return code; }
  const char* getFileName() const { return fileName; }
  unsigned long getLineNumber() const { return lineNumber; }

  void setCode(long statusCode, const char* file, unsigned long line) {
    if (!replaces(statusCode)) {
      return;
    }
    code = statusCode;
    lineNumber = line;
    copyFileName(file);
  }
  void assign(const tStatus& other) { setCode(other.code, other.fileName, other.lineNumber); }
  void clear() {
    code = 0;
    lineNumber = 0;
    fileName[0] = '\0';
  }

  bool isFatal() const { return code < 0; }
  bool isNotFatal() const { return code >= 0; }
  bool isWarning() const { return code > 0; }
  bool isSuccess() const { return code == 0; }

 private:
  tStatus& operator=(const tStatus&);  // assign() takes this role, with the combining rule

  bool replaces(long statusCode) const {
    if (code == 0) {
      return statusCode != 0;
    }
    return code > 0 && statusCode < 0;
  }
  void copyFileName(const char* file) {
    std::size_t n = file != nullptr ? strnlen(file, kFileNameMax) : 0;
    if (n > 0) {
      std::memcpy(fileName, file, n);
    }
    fileName[n] = '\0';
  }

  long code;
  char fileName[kFileNameMax + 1];
  unsigned long lineNumber;
};

}  // namespace nFANTOM100

#endif
