// USB bricks emulated below libusb: umockdev lays out their sysfs entries and /dev/bus/usb
// nodes, and this class answers the usbdevfs ioctls that libusb sends to a node, bulk OUT
// telegrams going to a virtual brick and its replies coming back on bulk IN. The real libusb
// backend runs unchanged on top.
//
// The test program must run with libumockdev-preload.so loaded first (umockdev-wrapper, or
// LD_PRELOAD), so that the paths libusb and the brick tool open are redirected to the testbed.
#ifndef TESTS_EMULATEDUSB_H
#define TESTS_EMULATEDUSB_H

#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "BrickFixture.h"

namespace test {

class EmulatedUsb {
 public:
  // One emulated device and what the test sees of it.
  struct Device {
    std::string node;     // /dev/bus/usb/BBB/DDD
    std::string syspath;  // in the testbed
    Sim::VirtualBrick sim;
    // Set by the test: claiming the interface fails with EBUSY, as when another program holds
    // the brick. Once unplugged, every ioctl fails with ENODEV and a transfer in flight ends.
    bool held = false;
    bool unplugged = false;
    // The next telegram sent is taken and left unanswered, and the brick is unplugged while
    // the read of its reply is in flight.
    bool unplugAwaitingReply = false;
    // Seen by the handler.
    int opens = 0;  // as umockdev reports them
    int claims = 0;
    int releases = 0;
    std::vector<Sim::Bytes> out;  // bulk OUT transfers, as sent
    std::deque<Sim::Bytes> in;    // replies waiting for a bulk IN transfer
    // The handler's own: URBs submitted and not yet complete, complete and not yet reaped.
    std::deque<UMockdevIoctlData*> pendingIn;
    std::deque<UMockdevIoctlData*> done;
    bool unplugOnRead = false;
  };

  EmulatedUsb() {
    const char* preload = std::getenv("LD_PRELOAD");
    EXPECT_TRUE(preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr)
        << "run under umockdev-wrapper (LD_PRELOAD=libumockdev-preload.so.0), as CTest does";
    testbed = umockdev_testbed_new();
    context = g_main_context_new();
    loop = g_main_loop_new(context, FALSE);
    handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onIoctl), this);
    g_signal_connect(handler, "client-connected", G_CALLBACK(onConnected), this);
    loopThread = std::thread([this] {
      g_main_context_push_thread_default(context);
      g_main_loop_run(loop);
      g_main_context_pop_thread_default(context);
    });
  }
  ~EmulatedUsb() {
    g_main_loop_quit(loop);
    loopThread.join();
    for (auto& entry : devices) {
      for (UMockdevIoctlData* urb : entry.second->pendingIn) {
        g_object_unref(urb);
      }
      for (UMockdevIoctlData* urb : entry.second->done) {
        g_object_unref(urb);
      }
    }
    g_object_unref(testbed);  // removes the testbed's directory
    g_object_unref(handler);
    g_main_loop_unref(loop);
    g_main_context_unref(context);
  }
  EmulatedUsb(const EmulatedUsb&) = delete;
  EmulatedUsb& operator=(const EmulatedUsb&) = delete;

  // A device on bus `bus` at `address`, its descriptors those of a brick (one vendor-specific
  // interface, bulk OUT 0x01 and IN 0x82, 64-byte packets) under the ids given.
  Device& add(std::uint16_t vendor, std::uint16_t product, int bus, int address) {
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
    char name[32];
    std::snprintf(name, sizeof name, "%d-%d", bus, address);
    // The device descriptor has the ids low byte first, as USB sends them.
    char descriptors[160];
    std::snprintf(descriptors, sizeof descriptors,
                  "1201000200000040%02X%02X%02X%02X000000000001"
                  "09022000010100C000"
                  "0904000002FFFFFF00"
                  "07050102400000"
                  "07058202400000",
                  vendor & 0xFF, vendor >> 8, product & 0xFF, product >> 8);
    auto device = std::make_unique<Device>();
    device->node = node;
    std::string record =
        std::string("P: /devices/pci0000:00/usb") + std::to_string(bus) + "/" + name +
        "\nN: " + (node + 5) + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + node +
        "\nE: BUSNUM=" + std::string(node + 13, 3) + "\nE: DEVNUM=" + std::string(node + 17, 3) +
        "\nA: busnum=" + std::to_string(bus) + "\\n\nA: devnum=" + std::to_string(address) +
        "\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\nH: descriptors=" + descriptors + "\n";
    // The node's handler first, so that the device is never there without it. The handler
    // answers in the thread whose default context was current when it was attached.
    GError* error = nullptr;
    bool attached =
        inLoop([&] { return umockdev_testbed_attach_ioctl(testbed, node, handler, &error); });
    EXPECT_TRUE(attached) << (error != nullptr ? error->message : "");
    g_clear_error(&error);
    EXPECT_TRUE(umockdev_testbed_add_from_string(testbed, record.c_str(), &error))
        << (error != nullptr ? error->message : "");
    g_clear_error(&error);
    device->syspath = std::string("/sys/devices/pci0000:00/usb") + std::to_string(bus) + "/" + name;
    umockdev_testbed_uevent(testbed, device->syspath.c_str(), "add");
    Device& added = *device;
    std::lock_guard<std::mutex> hold(lock);
    devices[node] = std::move(device);
    return added;
  }

  // Takes the device away as the kernel does when its cable is pulled: its node and sysfs
  // entry vanish, udev announces it, and the handler fails what libusb still asks of it.
  void unplug(Device& device) {
    {
      std::lock_guard<std::mutex> hold(lock);
      device.unplugged = true;
    }
    umockdev_testbed_uevent(testbed, device.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed, device.syspath.c_str());
  }

  // The testbed's path for a node, for changing its mode.
  std::string file(const Device& device) const {
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    std::string path = std::string(root) + device.node;
    g_free(root);
    return path;
  }

  // Reads what the handler thread writes, under the lock.
  template <typename F>
  auto inspect(F f) {
    std::lock_guard<std::mutex> hold(lock);
    return f();
  }

 private:
  // Runs `f` in the handler's thread and waits for its result.
  template <typename F>
  bool inLoop(F f) {
    struct Call {
      F& f;
      std::promise<bool> result;
    } call{f, {}};
    std::future<bool> done = call.result.get_future();
    g_main_context_invoke(
        context,
        [](gpointer data) -> gboolean {
          auto* c = static_cast<Call*>(data);
          c->result.set_value(c->f());
          return G_SOURCE_REMOVE;
        },
        &call);
    return done.get();
  }

  static void onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, EmulatedUsb* self) {
    std::lock_guard<std::mutex> hold(self->lock);
    auto found = self->devices.find(umockdev_ioctl_client_get_devnode(client));
    if (found != self->devices.end()) {
      ++found->second->opens;
    }
  }

  static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, EmulatedUsb* self) {
    std::lock_guard<std::mutex> hold(self->lock);
    auto found = self->devices.find(umockdev_ioctl_client_get_devnode(client));
    if (found == self->devices.end()) {
      umockdev_ioctl_client_complete(client, -1, ENODEV);
      return TRUE;
    }
    int error = self->answer(*found->second, client);
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
    return TRUE;
  }

  // One ioctl: 0, or the errno it fails with.
  int answer(Device& d, UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    unsigned long request = umockdev_ioctl_client_get_request(client);
    if (d.unplugged) {
      // A transfer in flight when the cable went ends with the device gone; nothing else does.
      if ((request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) &&
          !d.pendingIn.empty()) {
        d.done.push_back(d.pendingIn.front());
        d.pendingIn.pop_front();
        urbOf(d.done.back())->status = -ESHUTDOWN;
      } else if (request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
        return ENODEV;
      }
    }
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = resolve(arg, 0, sizeof(std::uint32_t));
        *reinterpret_cast<std::uint32_t*>(caps->data) = USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        g_object_unref(caps);
        return 0;
      }
      case USBDEVFS_DISCONNECT_CLAIM:  // no kernel driver to detach, so a plain claim
      case USBDEVFS_CLAIMINTERFACE:
        if (d.held) {
          return EBUSY;
        }
        ++d.claims;
        return 0;
      case USBDEVFS_RELEASEINTERFACE:
        ++d.releases;
        return 0;
      case USBDEVFS_IOCTL: {
        // libusb hands the interface back to the kernel after releasing it: there is no driver
        // for it, so the kernel finds none to attach, and says so by success.
        UMockdevIoctlData* call = resolve(arg, 0, sizeof(usbdevfs_ioctl));
        int code = reinterpret_cast<usbdevfs_ioctl*>(call->data)->ioctl_code;
        g_object_unref(call);
        return code == static_cast<int>(USBDEVFS_CONNECT) ? 0 : ENODATA;
      }
      case USBDEVFS_SUBMITURB:
        return submit(d, arg);
      case USBDEVFS_DISCARDURB:
        // A timed-out read: it comes back cancelled.
        for (auto at = d.pendingIn.begin(); at != d.pendingIn.end(); ++at) {
          if ((*at)->client_addr == *reinterpret_cast<gulong*>(arg->data)) {
            urbOf(*at)->status = -ENOENT;
            d.done.push_back(*at);
            d.pendingIn.erase(at);
            return 0;
          }
        }
        return EINVAL;
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY:
        return reap(d, arg);
      default:
        ADD_FAILURE() << "ioctl " << std::hex << request << " on " << d.node;
        return ENOTTY;
    }
  }

  static usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
  }

  // Points the ioctl handler's copy at `n` bytes of the client's memory at `offset`.
  static UMockdevIoctlData* resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t n) {
    GError* error = nullptr;
    UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, n, &error);
    EXPECT_NE(resolved, nullptr) << error->message;
    g_clear_error(&error);
    return resolved;
  }

  // The argument is the client's address of its URB; the URB's buffer another address in it.
  // The URB is kept until it is reaped: the completion writes its status back.
  int submit(Device& d, UMockdevIoctlData* arg) {
    UMockdevIoctlData* held = resolve(arg, 0, sizeof(usbdevfs_urb));
    usbdevfs_urb* urb = urbOf(held);
    if (urb->type != USBDEVFS_URB_TYPE_BULK) {
      g_object_unref(held);
      return EINVAL;
    }
    UMockdevIoctlData* buffer =
        resolve(held, offsetof(usbdevfs_urb, buffer), static_cast<std::size_t>(urb->buffer_length));
    if (urb->endpoint == 0x01) {
      Sim::Bytes telegram(buffer->data, buffer->data + buffer->data_len);
      d.out.push_back(telegram);
      if (d.unplugAwaitingReply) {
        d.unplugAwaitingReply = false;
        d.unplugOnRead = true;
      } else {
        Sim::Bytes reply = d.sim.answer(telegram);
        if (!reply.empty()) {
          d.in.push_back(reply);
        }
      }
      urb->actual_length = urb->buffer_length;
      urb->status = 0;
      d.done.push_back(held);
    } else {
      EXPECT_EQ(urb->endpoint, 0x82);
      EXPECT_EQ(urb->buffer_length, 64);  // a whole packet
      d.pendingIn.push_back(held);
      d.unplugged = d.unplugOnRead;
    }
    g_object_unref(buffer);
    return 0;
  }

  int reap(Device& d, UMockdevIoctlData* arg) {
    while (!d.pendingIn.empty() && !d.in.empty()) {
      UMockdevIoctlData* urb = d.pendingIn.front();
      d.pendingIn.pop_front();
      Sim::Bytes& reply = d.in.front();
      UMockdevIoctlData* buffer = resolve(urb, offsetof(usbdevfs_urb, buffer),
                                          static_cast<std::size_t>(urbOf(urb)->buffer_length));
      std::size_t n = std::min(reply.size(), static_cast<std::size_t>(buffer->data_len));
      std::copy(reply.begin(), reply.begin() + static_cast<long>(n), buffer->data);
      g_object_unref(buffer);
      d.in.pop_front();
      urbOf(urb)->actual_length = static_cast<int>(n);
      urbOf(urb)->status = 0;
      d.done.push_back(urb);
    }
    if (d.done.empty()) {
      return EAGAIN;
    }
    UMockdevIoctlData* urb = d.done.front();
    d.done.pop_front();
    // The argument is where the client wants the address of the URB reaped.
    UMockdevIoctlData* where = resolve(arg, 0, sizeof(void*));
    umockdev_ioctl_data_set_ptr(where, 0, urb);
    g_object_unref(where);
    g_object_unref(urb);
    return 0;
  }

  UMockdevTestbed* testbed;
  GMainContext* context;
  GMainLoop* loop;
  UMockdevIoctlBase* handler;
  std::thread loopThread;
  std::mutex lock;
  std::map<std::string, std::unique_ptr<Device>> devices;
};

}  // namespace test

#endif
