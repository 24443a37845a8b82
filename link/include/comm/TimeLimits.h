// Every time limit the link and the class library keep, in one place. Each bounds one kind of
// wait, measured on the monotonic clock with a Deadline; nothing else in the link waits.
#ifndef COMM_TIMELIMITS_H
#define COMM_TIMELIMITS_H

#include "protocol/RfcommDevices.h"

namespace Comm {

// One exchange: sending a command and receiving its reply, whatever framing and transport
// carry it. A brick answers a direct command within a few milliseconds over USB and well
// within a hundred over Bluetooth.
const int kReplyTimeoutMs = 1000;

// After a failed exchange, a command whose opcode a late reply could echo is preceded by a
// keep-alive exchange, with its own kReplyTimeoutMs (see SerialCommunication.h).

// Connecting an RFCOMM socket to a Bluetooth address. Paging a brick takes a few seconds; one
// out of reach is given up on here rather than after the kernel's own, much longer, time-out.
// The exchange that follows has its own kReplyTimeoutMs.
const int kConnectTimeoutMs = 10000;

// Looking for a brick on the bound RFCOMM devices: each device that opens gets one GETDEVICEINFO
// exchange, so the whole scan waits at most this long.
const int kRfcommScanTimeoutMs = Nxt::kRfcommDeviceCount * kReplyTimeoutMs;

// Reading the ultrasonic sensor: how long the class library keeps asking for a measurement
// before it gives up on a sensor that never reports data ready. The limit is checked between
// exchanges, each bounded by kReplyTimeoutMs: Sensor::getValue's passes are two (LSWRITE,
// LSGETSTATUS), so a brick that stops answering can stretch its last pass by up to twice that;
// Ultrasonic::read polls one telegram at a time, and stretches it by one.
const int kUltrasonicTimeoutMs = 1000;

}  // namespace Comm

#endif
