// The brick's protocol constants now live in protocol/; this header stays for hosts that
// include it, and brings the constants, the telegram layouts and the USB identity.
#ifndef COMM_NXT_H
#define COMM_NXT_H

#include "protocol/Commands.h"
#include "protocol/Nxt.h"
#include "protocol/Replies.h"
#include "protocol/UsbIds.h"

#endif
