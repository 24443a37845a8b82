// The telegram decoder now lives in protocol/; this header stays for hosts that include it.
#ifndef COMM_TELEGRAMTEXT_H
#define COMM_TELEGRAMTEXT_H

#include "protocol/TelegramText.h"

#endif
