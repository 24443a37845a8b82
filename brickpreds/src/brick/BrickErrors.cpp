#include "BrickErrors.h"

#include "comm/LinkCode.h"
#include "protocol/BrickStatus.h"

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
  const Nxt::BrickStatus* row = Nxt::findBrickStatus(static_cast<std::uint8_t>(status));
  return row != nullptr && status == row->code ? row->atom : "unknown_status";
}

}  // namespace Prolog
}  // namespace Brick
