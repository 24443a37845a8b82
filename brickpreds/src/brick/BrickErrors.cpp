#include "BrickErrors.h"

#include "comm/LinkCode.h"

namespace Brick {
namespace Prolog {

void throwError(const PlTerm& formal) {
  throw PlException(PlCompound("error", PlTermv(formal, PlTerm_var())));
}

void throwDomainError(const char* domain, const PlTerm& culprit) {
  throwError(PlCompound("domain_error", PlTermv(PlTerm_atom(domain), culprit)));
}

void throwExistence(const char* device) {
  throwError(PlCompound("existence_error", PlTermv(PlTerm_atom("brick"), PlTerm_atom(device))));
}

void throwClosed(const PlTerm& brick) {
  throwError(PlCompound("existence_error", PlTermv(PlTerm_atom("brick"), brick)));
}

void throwTimeout(const char* operation, const char* device) {
  throwError(PlCompound("timeout_error", PlTermv(PlTerm_atom(operation), PlTerm_atom(device))));
}

void throwRefused(const char* operation, int status) {
  throwError(PlCompound("brick_refused", PlTermv(PlTerm_atom(operation), PlTerm_integer(status),
                                                 PlTerm_atom(statusAtom(status)))));
}

void throwOpenFailed(long linkCode, const char* device) {
  switch (linkCode) {
    case Comm::kLinkAccessDenied:
      throwError(PlCompound("permission_error", PlTermv(PlTerm_atom("open"), PlTerm_atom("brick"),
                                                        PlTerm_atom(device))));
    case Comm::kLinkBusy:
      throwError(
          PlCompound("resource_error", PlTermv(PlCompound("brick", PlTermv(PlTerm_atom(device))))));
    case Comm::kLinkBadArgument:
      throwDomainError("brick_device", PlTerm_atom(device));
    default:
      throwExistence(device);
  }
}

void throwLinkFailed(long linkCode, const char* operation, const char* device) {
  // A reply cut short or garbled is no answer to the command either.
  if (linkCode == Comm::kLinkTimeout || linkCode == Comm::kLinkBadFrame ||
      linkCode == Comm::kLinkShortReply) {
    throwTimeout(operation, device);
  }
  throwExistence(device);
}

const char* statusAtom(int status) {
  switch (status) {
    case 0x20:
      return "pending";
    case 0x40:
      return "mailbox_empty";
    case 0x81:
      return "no_more_handles";
    case 0x82:
      return "no_space";
    case 0x83:
      return "no_more_files";
    case 0x84:
      return "end_of_file_expected";
    case 0x85:
      return "end_of_file";
    case 0x86:
      return "not_a_linear_file";
    case 0x87:
      return "file_not_found";
    case 0x88:
      return "handle_already_closed";
    case 0x89:
      return "no_linear_space";
    case 0x8A:
      return "undefined_error";
    case 0x8B:
      return "file_busy";
    case 0x8C:
      return "no_write_buffers";
    case 0x8D:
      return "append_not_possible";
    case 0x8E:
      return "file_full";
    case 0x8F:
      return "file_exists";
    case 0x90:
      return "module_not_found";
    case 0x91:
      return "out_of_boundary";
    case 0x92:
      return "illegal_file_name";
    case 0x93:
      return "illegal_handle";
    case 0xBD:
      return "request_failed";
    case 0xBE:
      return "unknown_opcode";
    case 0xBF:
      return "insane_packet";
    case 0xC0:
      return "out_of_range";
    case 0xDD:
      return "bus_error";
    case 0xDE:
      return "no_free_memory";
    case 0xDF:
      return "bad_channel";
    case 0xE0:
      return "channel_busy";
    case 0xEC:
      return "no_active_program";
    case 0xED:
      return "illegal_size";
    case 0xEE:
      return "illegal_mailbox";
    case 0xEF:
      return "invalid_field";
    case 0xF0:
      return "bad_port";
    case 0xFB:
      return "insufficient_memory";
    case 0xFF:
      return "bad_arguments";
    default:
      return "unknown_status";
  }
}

}  // namespace Prolog
}  // namespace Brick
