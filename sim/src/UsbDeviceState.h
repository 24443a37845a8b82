// The emulated USB brick's working state, shared by the file that lays out the device
// (UsbDevice.cpp) and the one that answers its transfers (UsbRequests.cpp).
#ifndef SIM_SRC_USBDEVICESTATE_H
#define SIM_SRC_USBDEVICESTATE_H

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "sim/UsbDescriptors.h"
#include "sim/UsbDevice.h"

namespace Sim {

// Where the brick sits: bus 1, address 2.
const int kDeviceBus = 1;
const int kDeviceAddress = 2;

inline double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
  return reinterpret_cast<usbdevfs_urb*>(data->data);
}

// The handler's copy of `n` bytes of the client's memory the pointer at `offset` points to;
// null when the client's memory cannot be had.
inline UMockdevIoctlData* resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t n) {
  GError* error = nullptr;
  UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, n, &error);
  g_clear_error(&error);
  return resolved;
}

// Everything but the constructor's fields is the handler thread's own once started.
struct UsbDevice::State {
  // What one open of the node has under way: URBs not yet complete, complete and not yet reaped,
  // and how far it has read the node.
  struct Client {
    std::deque<UMockdevIoctlData*> pendingIn;
    std::deque<UMockdevIoctlData*> done;
    std::size_t readAt = 0;
  };
  // A synchronous bulk IN read waiting for a reply (or its time limit).
  struct Waiting {
    UMockdevIoctlClient* client = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    double deadline = 0;  // 0: none
  };
  struct Reply {
    Bytes bytes;
    double readyAt = 0;  // wall seconds when the host may collect it
  };

  State(VirtualBrick& b, std::function<std::unique_lock<std::mutex>()> l)
      : brick(b), lockBrick(std::move(l)), descriptors(b.address) {}

  VirtualBrick& brick;
  std::function<std::unique_lock<std::mutex>()> lockBrick;
  UsbDescriptors descriptors;
  std::function<void(const Bytes&, const Bytes&)> tracer;
  LinkModel model;
  std::function<void(double)> pass;

  UMockdevTestbed* testbed = nullptr;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  std::thread loopThread;

  std::map<UMockdevIoctlClient*, Client> clients;
  UMockdevIoctlClient* claimedBy = nullptr;
  std::deque<Reply> replies;
  std::deque<Waiting> waiting;
  GSource* ticker = nullptr;
  // The burst under way (LinkModel.h): its start on the wall clock, its time passed so far on a
  // stepped clock, and when its last reply may be collected.
  LinkModel pace;
  double burstStart = 0;
  double burstPassed = 0;
  double lastReady = 0;

  bool start(std::string& error);
  void stop();
  static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self);
  static gboolean onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self);
  static gboolean onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self);
  static void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self);
  static void onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self);
  // One ioctl: false when it waits to be completed later; else `result` and `error` say how it
  // ended.
  bool answer(UMockdevIoctlClient* client, long& result, int& error);
  bool control(UMockdevIoctlData* arg, long& result, int& error);
  bool bulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg, long& result, int& error);
  int submit(UMockdevIoctlClient* client, Client& c, UMockdevIoctlData* arg);
  int reap(Client& c, UMockdevIoctlData* arg);
  int discard(Client& c, UMockdevIoctlData* arg);
  // A telegram sent on bulk OUT: the brick's reply queued for bulk IN, at the link's pace.
  void telegram(const Bytes& sent);
  // Completes the bulk IN reads whose reply is ready or whose time is up; true while any wait.
  bool serviceWaiting();
  void ensureTicker();
  // The kernel claims the interface for a program that transfers without claiming it: 0, or
  // EBUSY when another program holds it.
  int claim(UMockdevIoctlClient* client);
};

}  // namespace Sim

#endif
