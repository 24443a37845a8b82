// The status byte a brick answers with, one row per code it can give: how a trace names it, the
// atom library(brick) raises it as, and a phrase for people. Every layer that names a status
// reads it here, so that a code the brick gives is named alike in a trace, a C++ error text and
// a Prolog error.
#ifndef PROTOCOL_BRICKSTATUS_H
#define PROTOCOL_BRICKSTATUS_H

#include <cstdint>

namespace Nxt {

struct BrickStatus {
  std::uint8_t code;
  const char* traceName;  // as the decoder prints it, e.g. "FILE_NOT_FOUND"
  const char* atom;       // as library(brick) raises it, e.g. file_not_found
  const char* text;       // as a person reads it, e.g. "file not found"
};

inline constexpr BrickStatus kBrickStatuses[] = {
    {0x00, "SUCCESS", "success", "success"},
    {0x20, "PENDING", "pending", "a transaction is still in progress"},
    {0x40, "MAILBOX_EMPTY", "mailbox_empty", "the mailbox is empty"},
    // The file system's codes (system commands).
    {0x81, "NO_MORE_HANDLES", "no_more_handles", "no more file handles"},
    {0x82, "NO_SPACE", "no_space", "no space left in flash"},
    {0x83, "NO_MORE_FILES", "no_more_files", "no more files"},
    {0x84, "END_OF_FILE_EXPECTED", "end_of_file_expected", "end of file expected"},
    {0x85, "END_OF_FILE", "end_of_file", "end of file"},
    {0x86, "NOT_A_LINEAR_FILE", "not_a_linear_file", "not a linear file"},
    {0x87, "FILE_NOT_FOUND", "file_not_found", "file not found"},
    {0x88, "HANDLE_ALREADY_CLOSED", "handle_already_closed", "handle already closed"},
    {0x89, "NO_LINEAR_SPACE", "no_linear_space", "no linear space left in flash"},
    {0x8A, "UNDEFINED_ERROR", "undefined_error", "undefined file error"},
    {0x8B, "FILE_BUSY", "file_busy", "file is busy"},
    {0x8C, "NO_WRITE_BUFFERS", "no_write_buffers", "no write buffers"},
    {0x8D, "APPEND_NOT_POSSIBLE", "append_not_possible", "append not possible"},
    {0x8E, "FILE_FULL", "file_full", "file is full"},
    {0x8F, "FILE_EXISTS", "file_exists", "file exists"},
    {0x90, "MODULE_NOT_FOUND", "module_not_found", "module not found"},
    {0x91, "OUT_OF_BOUNDARY", "out_of_boundary", "out of boundary"},
    {0x92, "ILLEGAL_FILE_NAME", "illegal_file_name", "illegal file name"},
    {0x93, "ILLEGAL_HANDLE", "illegal_handle", "illegal handle"},
    // The direct commands' codes.
    {0xBD, "REQUEST_FAILED", "request_failed", "request failed"},
    {0xBE, "UNKNOWN_OPCODE", "unknown_opcode", "unknown command"},
    {0xBF, "INSANE_PACKET", "insane_packet", "insane packet"},
    {0xC0, "OUT_OF_RANGE", "out_of_range", "data out of range"},
    {0xDD, "BUS_ERROR", "bus_error", "bus error on the sensor port"},
    {0xDE, "NO_FREE_MEMORY", "no_free_memory", "no free memory in the communication buffer"},
    {0xDF, "BAD_CONNECTION", "bad_channel", "channel or connection not valid"},
    {0xE0, "CHANNEL_BUSY_OR_UNCONFIGURED", "channel_busy", "channel not configured or busy"},
    {0xEC, "NO_PROGRAM", "no_active_program", "no program running"},
    {0xED, "ILLEGAL_SIZE", "illegal_size", "illegal size"},
    {0xEE, "ILLEGAL_MAILBOX", "illegal_mailbox", "illegal mailbox"},
    {0xEF, "BAD_FIELD", "invalid_field", "invalid field of a structure"},
    {0xF0, "BAD_PORT", "bad_port", "bad input or output"},
    {0xFB, "NO_MEMORY", "insufficient_memory", "insufficient memory on the brick"},
    {0xFF, "BAD_ARGUMENTS", "bad_arguments", "bad arguments"},
};

// The row of `code`, or nullptr for a code no brick gives.
inline const BrickStatus* findBrickStatus(std::uint8_t code) {
  for (const BrickStatus& row : kBrickStatuses) {
    if (row.code == code) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace Nxt

#endif
