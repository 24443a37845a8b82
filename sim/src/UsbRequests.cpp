// What the emulated USB brick answers to the usbdevfs ioctls, as the kernel and the brick
// between them would: libusb-1.0 sends URBs and reaps them, libusb-0.1 uses the synchronous
// control and bulk ioctls.
#include <algorithm>
#include <cerrno>
#include <cstddef>

#include "UsbDeviceState.h"
#include "protocol/UsbIds.h"

namespace Sim {

namespace {

bool ourEndpoint(unsigned endpoint) {
  return endpoint == 0 || endpoint == Nxt::kUsbOutEndpoint || endpoint == Nxt::kUsbInEndpoint;
}

unsigned valueAt(UMockdevIoctlData* arg) {
  UMockdevIoctlData* value = resolve(arg, 0, sizeof(unsigned));
  if (value == nullptr) {
    return ~0u;
  }
  unsigned v = *reinterpret_cast<unsigned*>(value->data);
  g_object_unref(value);
  return v;
}

}  // namespace

int UsbDevice::State::claim(UMockdevIoctlClient* client) {
  if (claimedBy != nullptr && claimedBy != client) {
    return EBUSY;
  }
  claimedBy = client;
  return 0;
}

bool UsbDevice::State::answer(UMockdevIoctlClient* client, long& result, int& error) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  unsigned long request = umockdev_ioctl_client_get_request(client);
  Client& c = clients[client];
  result = 0;
  error = 0;
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = resolve(arg, 0, sizeof(std::uint32_t));
      if (caps == nullptr) {
        error = EFAULT;
        break;
      }
      *reinterpret_cast<std::uint32_t*>(caps->data) = USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
      g_object_unref(caps);
      break;
    }
    case USBDEVFS_DISCONNECT_CLAIM:  // its first field is the interface too; no driver to detach
    case USBDEVFS_CLAIMINTERFACE:
      error = valueAt(arg) != Nxt::kUsbInterface ? ENOENT : claim(client);
      break;
    case USBDEVFS_RELEASEINTERFACE:
      if (valueAt(arg) != Nxt::kUsbInterface || claimedBy != client) {
        error = EINVAL;
      } else {
        claimedBy = nullptr;
      }
      break;
    case USBDEVFS_SETCONFIGURATION: {
      int value = static_cast<int>(valueAt(arg));
      if (value != 1 && value != 0 && value != -1) {
        error = EINVAL;
      } else if (claimedBy != nullptr && claimedBy != client) {
        error = EBUSY;
      }
      break;
    }
    case USBDEVFS_RESET:
      // The brick starts its USB side afresh: a reply the host has not collected is gone.
      replies.clear();
      break;
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
      error = ourEndpoint(valueAt(arg)) ? 0 : ENOENT;
      break;
    case USBDEVFS_CONNECTINFO: {
      UMockdevIoctlData* info = resolve(arg, 0, sizeof(usbdevfs_connectinfo));
      if (info == nullptr) {
        error = EFAULT;
        break;
      }
      auto* connect = reinterpret_cast<usbdevfs_connectinfo*>(info->data);
      connect->devnum = kDeviceAddress;
      connect->slow = 0;  // full speed
      g_object_unref(info);
      break;
    }
    case USBDEVFS_GETDRIVER:
      error = ENODATA;  // no kernel driver binds to the brick
      break;
    case USBDEVFS_IOCTL: {
      // Handing the interface back to the kernel finds no driver to attach, which succeeds;
      // there is none to detach either.
      UMockdevIoctlData* call = resolve(arg, 0, sizeof(usbdevfs_ioctl));
      int code = call == nullptr ? 0 : reinterpret_cast<usbdevfs_ioctl*>(call->data)->ioctl_code;
      if (call != nullptr) {
        g_object_unref(call);
      }
      error = code == static_cast<int>(USBDEVFS_CONNECT) ? 0 : ENODATA;
      break;
    }
    case USBDEVFS_CONTROL:
      return control(arg, result, error);
    case USBDEVFS_BULK:
      return bulk(client, arg, result, error);
    case USBDEVFS_SUBMITURB:
      error = submit(client, c, arg);
      break;
    case USBDEVFS_DISCARDURB:
      error = discard(c, arg);
      break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      error = reap(c, arg);
      break;
    default:
      error = ENOTTY;
  }
  return true;
}

bool UsbDevice::State::control(UMockdevIoctlData* arg, long& result, int& error) {
  UMockdevIoctlData* held = resolve(arg, 0, sizeof(usbdevfs_ctrltransfer));
  if (held == nullptr) {
    error = EFAULT;
    return true;
  }
  const auto* t = reinterpret_cast<usbdevfs_ctrltransfer*>(held->data);
  const std::uint8_t setup[UsbDescriptors::kSetupBytes] = {
      t->bRequestType,
      t->bRequest,
      static_cast<std::uint8_t>(t->wValue & 0xFF),
      static_cast<std::uint8_t>(t->wValue >> 8),
      static_cast<std::uint8_t>(t->wIndex & 0xFF),
      static_cast<std::uint8_t>(t->wIndex >> 8),
      static_cast<std::uint8_t>(t->wLength & 0xFF),
      static_cast<std::uint8_t>(t->wLength >> 8)};
  Bytes data;
  if (!descriptors.control(setup, data)) {
    error = EPIPE;  // the brick stalls a request it does not know
  } else if ((t->bRequestType & 0x80) != 0 && !data.empty()) {
    UMockdevIoctlData* buffer = resolve(held, offsetof(usbdevfs_ctrltransfer, data), t->wLength);
    if (buffer == nullptr) {
      error = EFAULT;
    } else {
      std::copy(data.begin(), data.end(), buffer->data);
      g_object_unref(buffer);
      result = static_cast<long>(data.size());
    }
  } else {
    result = (t->bRequestType & 0x80) != 0 ? 0 : t->wLength;
  }
  g_object_unref(held);
  return true;
}

bool UsbDevice::State::bulk(UMockdevIoctlClient* client, UMockdevIoctlData* arg, long& result,
                            int& error) {
  UMockdevIoctlData* held = resolve(arg, 0, sizeof(usbdevfs_bulktransfer));
  if (held == nullptr) {
    error = EFAULT;
    return true;
  }
  const auto* t = reinterpret_cast<usbdevfs_bulktransfer*>(held->data);
  const unsigned endpoint = t->ep;
  const unsigned timeoutMs = t->timeout;
  UMockdevIoctlData* buffer =
      t->len == 0 ? nullptr : resolve(held, offsetof(usbdevfs_bulktransfer, data), t->len);
  const std::size_t length = t->len;
  g_object_unref(held);
  if (endpoint != Nxt::kUsbOutEndpoint && endpoint != Nxt::kUsbInEndpoint) {
    error = ENOENT;
  } else if (length > 0 && buffer == nullptr) {
    error = EFAULT;
  } else {
    error = claim(client);
  }
  if (error == 0 && endpoint == Nxt::kUsbOutEndpoint) {
    telegram(length == 0 ? Bytes() : Bytes(buffer->data, buffer->data + length));
    result = static_cast<long>(length);
  } else if (error == 0) {
    // The read waits for the brick's reply, or for its time limit (none when 0), as the
    // kernel's does; it is completed from serviceWaiting().
    // The client is held until then: umockdev lets go of it once this handler returns.
    g_object_ref(client);
    waiting.push_back({client, buffer, timeoutMs == 0 ? 0 : wallSeconds() + timeoutMs / 1000.0});
    if (serviceWaiting()) {
      ensureTicker();
    }
    return false;
  }
  if (buffer != nullptr) {
    g_object_unref(buffer);
  }
  return true;
}

bool UsbDevice::State::serviceWaiting() {
  const double now = wallSeconds();
  for (auto at = waiting.begin(); at != waiting.end();) {
    long result = -1;
    int error = 0;
    if (at == waiting.begin() && !replies.empty() && replies.front().readyAt <= now) {
      const Bytes& reply = replies.front().bytes;
      std::size_t room = at->buffer == nullptr ? 0 : static_cast<std::size_t>(at->buffer->data_len);
      if (reply.size() > room) {
        error = EOVERFLOW;  // the packet would not fit the read: the kernel refuses it
      } else {
        std::copy(reply.begin(), reply.end(), at->buffer->data);
        result = static_cast<long>(reply.size());
      }
      replies.pop_front();
    } else if (at->deadline > 0 && now >= at->deadline) {
      error = ETIMEDOUT;
    } else {
      ++at;
      continue;
    }
    umockdev_ioctl_client_complete(at->client, result, error);
    if (at->buffer != nullptr) {
      g_object_unref(at->buffer);
    }
    g_object_unref(at->client);
    at = waiting.erase(at);
  }
  return !waiting.empty();
}

void UsbDevice::State::ensureTicker() {
  if (ticker != nullptr) {
    return;
  }
  // Every millisecond, the firmware's pace, while a synchronous read waits.
  ticker = g_timeout_source_new(1);
  g_source_set_callback(
      ticker,
      [](gpointer data) -> gboolean {
        auto* self = static_cast<State*>(data);
        if (self->serviceWaiting()) {
          return G_SOURCE_CONTINUE;
        }
        self->ticker = nullptr;
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
  g_source_attach(ticker, context);
  g_source_unref(ticker);  // the context holds it
}

void UsbDevice::State::telegram(const Bytes& sent) {
  const double now = wallSeconds();
  const bool stepped = static_cast<bool>(pass);
  // A telegram sent once every reply has been collected starts a new burst.
  if (replies.empty() && (stepped || now >= lastReady)) {
    pace.idle();
    burstStart = now;
    burstPassed = 0;
  }
  pace.take(sent.size());
  if (stepped) {
    pass(pace.now() - burstPassed);
    burstPassed = pace.now();
  }
  Bytes reply;
  {
    auto guard = lockBrick();
    // Two telegrams in one transfer are one telegram to the brick, as its firmware reads them.
    reply = sent.empty() ? Bytes() : brick.answer(sent);
    if (tracer) {
      tracer(sent, reply);
    }
  }
  if (reply.empty()) {
    return;
  }
  double reaches = pace.give(reply.size());
  double readyAt = burstStart + reaches;
  if (stepped) {
    pass(reaches - burstPassed);
    burstPassed = reaches;
    readyAt = now;
  }
  lastReady = readyAt;
  replies.push_back({reply, readyAt});
  if (!waiting.empty() && serviceWaiting()) {
    ensureTicker();
  }
}

int UsbDevice::State::submit(UMockdevIoctlClient* client, Client& c, UMockdevIoctlData* arg) {
  UMockdevIoctlData* held = resolve(arg, 0, sizeof(usbdevfs_urb));
  if (held == nullptr) {
    return EFAULT;
  }
  usbdevfs_urb* urb = urbOf(held);
  const bool isControl = urb->type == USBDEVFS_URB_TYPE_CONTROL;
  if ((!isControl && urb->type != USBDEVFS_URB_TYPE_BULK) || urb->buffer_length < 0 ||
      (isControl && urb->buffer_length < static_cast<int>(UsbDescriptors::kSetupBytes))) {
    g_object_unref(held);
    return EINVAL;
  }
  if (!isControl) {
    int refused = urb->endpoint != Nxt::kUsbOutEndpoint && urb->endpoint != Nxt::kUsbInEndpoint
                      ? ENOENT
                      : claim(client);
    if (refused != 0) {
      g_object_unref(held);
      return refused;
    }
  }
  UMockdevIoctlData* buffer =
      resolve(held, offsetof(usbdevfs_urb, buffer), static_cast<std::size_t>(urb->buffer_length));
  if (buffer == nullptr) {
    g_object_unref(held);
    return EFAULT;
  }
  urb->status = 0;
  if (isControl) {
    // The setup packet first, then the data stage in the same buffer.
    Bytes data;
    const std::uint8_t* setup = buffer->data;
    std::size_t asked = setup[6] | (setup[7] << 8);
    if (!descriptors.control(setup, data)) {
      urb->status = -EPIPE;
      urb->actual_length = 0;
    } else if ((setup[0] & 0x80) != 0) {
      data.resize(std::min(
          data.size(), static_cast<std::size_t>(buffer->data_len) - UsbDescriptors::kSetupBytes));
      std::copy(data.begin(), data.end(), buffer->data + UsbDescriptors::kSetupBytes);
      urb->actual_length = static_cast<int>(data.size());
    } else {
      urb->actual_length = static_cast<int>(asked);
    }
    c.done.push_back(held);
  } else if (urb->endpoint == Nxt::kUsbOutEndpoint) {
    telegram(Bytes(buffer->data, buffer->data + static_cast<std::size_t>(buffer->data_len)));
    urb->actual_length = urb->buffer_length;
    c.done.push_back(held);
  } else {
    c.pendingIn.push_back(held);
  }
  g_object_unref(buffer);
  return 0;
}

int UsbDevice::State::discard(Client& c, UMockdevIoctlData* arg) {
  // A read given up (its time limit, or the program ending): it comes back cancelled.
  for (auto at = c.pendingIn.begin(); at != c.pendingIn.end(); ++at) {
    if ((*at)->client_addr == *reinterpret_cast<gulong*>(arg->data)) {
      urbOf(*at)->status = -ENOENT;
      c.done.push_back(*at);
      c.pendingIn.erase(at);
      return 0;
    }
  }
  return EINVAL;
}

int UsbDevice::State::reap(Client& c, UMockdevIoctlData* arg) {
  const double now = wallSeconds();
  while (!c.pendingIn.empty() && !replies.empty() && replies.front().readyAt <= now) {
    UMockdevIoctlData* urb = c.pendingIn.front();
    c.pendingIn.pop_front();
    const Bytes& reply = replies.front().bytes;
    UMockdevIoctlData* buffer = resolve(urb, offsetof(usbdevfs_urb, buffer),
                                        static_cast<std::size_t>(urbOf(urb)->buffer_length));
    std::size_t room = buffer == nullptr ? 0 : static_cast<std::size_t>(buffer->data_len);
    if (reply.size() > room) {
      urbOf(urb)->status = -EOVERFLOW;
      urbOf(urb)->actual_length = 0;
    } else {
      std::copy(reply.begin(), reply.end(), buffer->data);
      urbOf(urb)->status = 0;
      urbOf(urb)->actual_length = static_cast<int>(reply.size());
    }
    if (buffer != nullptr) {
      g_object_unref(buffer);
    }
    replies.pop_front();
    c.done.push_back(urb);
  }
  if (c.done.empty()) {
    return EAGAIN;
  }
  UMockdevIoctlData* urb = c.done.front();
  c.done.pop_front();
  // The argument is where the program wants the address of the URB reaped.
  UMockdevIoctlData* where = resolve(arg, 0, sizeof(void*));
  if (where != nullptr) {
    umockdev_ioctl_data_set_ptr(where, 0, urb);
    g_object_unref(where);
  }
  g_object_unref(urb);
  return 0;
}

}  // namespace Sim
