// Marks the symbols that libcomm exports; everything else stays hidden.
#ifndef COMM_EXPORT_H
#define COMM_EXPORT_H

#if defined(COMM_BUILDING)
#define COMM_API __attribute__((visibility("default")))
#else
#define COMM_API
#endif

#endif
