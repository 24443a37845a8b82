#include "sim/UsbDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <future>

#include "UsbDeviceState.h"
#include "protocol/UsbIds.h"

namespace Sim {

namespace {

const char kNode[] = "/dev/bus/usb/001/002";

std::string hexOf(const UsbDescriptors::Bytes& bytes) {
  std::string text;
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    text += two;
  }
  return text;
}

}  // namespace

bool UsbDevice::available() {
  return true;
}

UsbDevice::UsbDevice(VirtualBrick& brick, std::function<std::unique_lock<std::mutex>()> lock)
    : state(new State(brick, std::move(lock))) {}

UsbDevice::~UsbDevice() {
  stop();
}

void UsbDevice::setTrace(std::function<void(const Bytes&, const Bytes&)> trace) {
  state->tracer = std::move(trace);
}

void UsbDevice::setLinkModel(const LinkModel& model, std::function<void(double)> pass) {
  state->model = model;
  state->pace = model;
  state->pass = std::move(pass);
}

std::string UsbDevice::node() const {
  return kNode;
}

bool UsbDevice::start(std::string& error) {
  return state->testbed != nullptr || state->start(error);
}

void UsbDevice::stop() {
  state->stop();
}

bool UsbDevice::State::start(std::string& error) {
  {
    auto guard = lockBrick();
    brick.setLink(VirtualBrick::Link::Usb);
    descriptors = UsbDescriptors(brick.address);
  }
  testbed = umockdev_testbed_new();
  context = g_main_context_new();
  loop = g_main_loop_new(context, FALSE);
  handler = umockdev_ioctl_base_new();
  g_signal_connect(handler, "handle-ioctl", G_CALLBACK(onIoctl), this);
  g_signal_connect(handler, "handle-read", G_CALLBACK(onRead), this);
  g_signal_connect(handler, "handle-write", G_CALLBACK(onWrite), this);
  g_signal_connect(handler, "client-connected", G_CALLBACK(onConnected), this);
  g_signal_connect(handler, "client-vanished", G_CALLBACK(onVanished), this);
  loopThread = std::thread([this] {
    g_main_context_push_thread_default(context);
    g_main_loop_run(loop);
    g_main_context_pop_thread_default(context);
  });
  // The node's handler answers in the thread whose default context is current as it is
  // attached; the device appears only once it is there.
  struct Call {
    State* self;
    std::promise<std::string> result;
  } call{this, {}};
  std::future<std::string> attached = call.result.get_future();
  g_main_context_invoke(
      context,
      [](gpointer data) -> gboolean {
        auto* c = static_cast<Call*>(data);
        GError* failure = nullptr;
        bool ok =
            umockdev_testbed_attach_ioctl(c->self->testbed, kNode, c->self->handler, &failure);
        c->result.set_value(ok ? "" : failure != nullptr ? failure->message : "attach failed");
        g_clear_error(&failure);
        return G_SOURCE_REMOVE;
      },
      &call);
  error = attached.get();
  if (error.empty()) {
    std::string serial = descriptors.serial();
    std::string record = std::string("P: /devices/pci0000:00/usb1/1-1\nN: bus/usb/001/002\n") +
                         "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + kNode +
                         "\nE: BUSNUM=001\nE: DEVNUM=002\nE: ID_SERIAL_SHORT=" + serial +
                         "\nA: busnum=" + std::to_string(kDeviceBus) +
                         "\\n\nA: devnum=" + std::to_string(kDeviceAddress) +
                         "\\n\nA: speed=12\\n\nA: bConfigurationValue=1\\n\nA: idVendor=0694\\n\n"
                         "A: idProduct=0002\\n\nA: serial=" +
                         serial + "\\n\nH: descriptors=" + hexOf(descriptors.node()) + "\n";
    GError* failure = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, record.c_str(), &failure)) {
      error = failure != nullptr ? failure->message : "cannot add the device";
    }
    g_clear_error(&failure);
  }
  if (!error.empty()) {
    error = "USB emulation: " + error;
    stop();
    return false;
  }
  return true;
}

void UsbDevice::State::stop() {
  if (loop == nullptr) {
    return;
  }
  g_main_loop_quit(loop);
  loopThread.join();
  for (auto& entry : clients) {
    for (UMockdevIoctlData* urb : entry.second.pendingIn) {
      g_object_unref(urb);
    }
    for (UMockdevIoctlData* urb : entry.second.done) {
      g_object_unref(urb);
    }
  }
  clients.clear();
  for (Waiting& w : waiting) {
    if (w.buffer != nullptr) {
      g_object_unref(w.buffer);
    }
    g_object_unref(w.client);
  }
  waiting.clear();
  ticker = nullptr;         // goes with its context
  g_object_unref(testbed);  // removes the testbed's directory
  g_object_unref(handler);
  g_main_loop_unref(loop);
  g_main_context_unref(context);
  testbed = nullptr;
  handler = nullptr;
  loop = nullptr;
  context = nullptr;
}

void UsbDevice::State::onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self) {
  self->clients[client] = Client();
}

void UsbDevice::State::onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self) {
  auto found = self->clients.find(client);
  if (found != self->clients.end()) {
    for (UMockdevIoctlData* urb : found->second.pendingIn) {
      g_object_unref(urb);
    }
    for (UMockdevIoctlData* urb : found->second.done) {
      g_object_unref(urb);
    }
    self->clients.erase(found);
  }
  // A program that closes the device gives up its claim, as the kernel sees to.
  if (self->claimedBy == client) {
    self->claimedBy = nullptr;
  }
  auto& w = self->waiting;
  for (auto at = w.begin(); at != w.end();) {
    if (at->client == client) {
      if (at->buffer != nullptr) {
        g_object_unref(at->buffer);
      }
      g_object_unref(at->client);
      at = w.erase(at);
    } else {
      ++at;
    }
  }
}

gboolean UsbDevice::State::onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self) {
  // The node reads as the kernel lays out its descriptors, from where this open left off.
  UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
  std::size_t& at = self->clients[client].readAt;
  const UsbDescriptors::Bytes& all = self->descriptors.node();
  std::size_t n =
      at < all.size() ? std::min(all.size() - at, static_cast<std::size_t>(buffer->data_len)) : 0;
  std::copy(all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at + n),
            buffer->data);
  at += n;
  umockdev_ioctl_client_complete(client, static_cast<long>(n), 0);
  return TRUE;
}

gboolean UsbDevice::State::onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, State*) {
  umockdev_ioctl_client_complete(client, -1, EINVAL);  // usbfs nodes take no write()
  return TRUE;
}

gboolean UsbDevice::State::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, State* self) {
  long result = 0;
  int error = 0;
  if (self->answer(client, result, error)) {
    umockdev_ioctl_client_complete(client, error == 0 ? result : -1, error);
  }
  return TRUE;
}

}  // namespace Sim
