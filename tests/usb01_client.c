/* A brick client written against libusb-0.1, as older programs are: it finds the brick by its
 * ids, claims it, asks GET DEVICE INFO and lists the files with FIND FIRST and FIND NEXT (the
 * handle closed at the end). It prints what a test compares, one line each:
 *   serial: 001653000001
 *   endpoint 0: 8 bytes
 *   name: NXT
 *   file: hello.txt 6
 * The telegrams go by libusb's bulk calls, or with --bulk-ioctl by the kernel's synchronous bulk
 * ioctl on the device node, opened and claimed by this program itself, as some usbfs clients do.
 * With --reset it first sends GETBATTERYLEVEL and resets the device before reading the reply:
 * the reply is gone with the reset, and the next one read must be GET DEVICE INFO's.
 * Exit status: 0 listed, 1 a call failed, 3 no brick found. */
#include <fcntl.h>
#include <limits.h>
#include <linux/usbdevice_fs.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <usb.h>

enum { kVendor = 0x0694, kProduct = 0x0002, kOut = 0x01, kIn = 0x82, kTimeoutMs = 1000 };

static usb_dev_handle* h;
static int node = -1; /* with --bulk-ioctl */

static int bulk(int endpoint, char* data, int length) {
  if (node < 0) {
    return endpoint == kOut ? usb_bulk_write(h, endpoint, data, length, kTimeoutMs)
                            : usb_bulk_read(h, endpoint, data, length, kTimeoutMs);
  }
  struct usbdevfs_bulktransfer transfer = {endpoint, length, kTimeoutMs, data};
  return ioctl(node, USBDEVFS_BULK, &transfer);
}

static int exchange(const char* command, int length, char* reply, int most) {
  if (bulk(kOut, (char*)command, length) != length) {
    fprintf(stderr, "usb01_client: bulk write: %s\n", usb_strerror());
    return -1;
  }
  int got = bulk(kIn, reply, most);
  if (got < 3 || reply[0] != 0x02 || reply[1] != command[1]) {
    fprintf(stderr, "usb01_client: bulk read (%d): %s\n", got, usb_strerror());
    return -1;
  }
  return got;
}

/* A FIND FIRST or FIND NEXT reply: status, handle, name (20 bytes), size (4, low first). */
static void printFile(const unsigned char* r) {
  unsigned size = r[24] | (r[25] << 8) | (r[26] << 16) | ((unsigned)r[27] << 24);
  printf("file: %.20s %u\n", (const char*)r + 4, size);
}

int main(int argc, char** argv) {
  usb_init();
  usb_find_busses();
  usb_find_devices();
  struct usb_device* brick = NULL;
  for (struct usb_bus* bus = usb_get_busses(); bus != NULL; bus = bus->next) {
    for (struct usb_device* d = bus->devices; d != NULL; d = d->next) {
      if (d->descriptor.idVendor == kVendor && d->descriptor.idProduct == kProduct) {
        brick = d;
      }
    }
  }
  if (brick == NULL) {
    fprintf(stderr, "usb01_client: no brick\n");
    return 3;
  }
  h = usb_open(brick);
  char serial[64];
  if (h == NULL || usb_set_configuration(h, 1) != 0 || usb_claim_interface(h, 0) != 0 ||
      usb_get_string_simple(h, brick->descriptor.iSerialNumber, serial, sizeof serial) < 0) {
    fprintf(stderr, "usb01_client: opening the brick: %s\n", usb_strerror());
    return 1;
  }
  printf("serial: %s\n", serial);
  printf("endpoint 0: %d bytes\n", brick->descriptor.bMaxPacketSize0);
  const char battery[] = {0x00, 0x0B};
  if (argc > 1 && strcmp(argv[1], "--reset") == 0 &&
      (usb_bulk_write(h, kOut, (char*)battery, sizeof battery, kTimeoutMs) != sizeof battery ||
       usb_reset(h) != 0)) {
    fprintf(stderr, "usb01_client: reset: %s\n", usb_strerror());
    return 1;
  }
  if (argc > 1 && strcmp(argv[1], "--bulk-ioctl") == 0) {
    char path[16 + 2 * (PATH_MAX + 1)];
    unsigned interface = 0;
    snprintf(path, sizeof path, "/dev/bus/usb/%s/%s", brick->bus->dirname, brick->filename);
    usb_release_interface(h, 0);
    node = open(path, O_RDWR);
    if (node < 0 || ioctl(node, USBDEVFS_CLAIMINTERFACE, &interface) != 0) {
      perror("usb01_client: claiming the brick on its node");
      return 1;
    }
  }
  char reply[64];
  const char info[] = {0x01, (char)0x9B};
  if (exchange(info, sizeof info, reply, sizeof reply) < 33) {
    return 1;
  }
  printf("name: %.15s\n", reply + 3);
  char find[22] = {0x01, (char)0x86};
  strcpy(find + 2, "*.*");
  int status = exchange(find, sizeof find, reply, sizeof reply) < 28 ? -1 : (unsigned char)reply[2];
  int handle = (unsigned char)reply[3];
  while (status == 0) {
    printFile((const unsigned char*)reply);
    char next[3] = {0x01, (char)0x87, (char)handle};
    status = exchange(next, sizeof next, reply, sizeof reply) < 28 ? -1 : (unsigned char)reply[2];
  }
  /* The search ends with "file not found"; its handle is closed, as the brick wants, whatever
   * the brick says to that. */
  char closing[3] = {0x01, (char)0x84, (char)handle};
  if (status != 0x87 || exchange(closing, sizeof closing, reply, sizeof reply) < 0) {
    fprintf(stderr, "usb01_client: the search ended with status 0x%02X\n", status & 0xFF);
    return 1;
  }
  if (node >= 0) {
    close(node);
  } else {
    usb_release_interface(h, 0);
  }
  usb_close(h);
  return 0;
}
