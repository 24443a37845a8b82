// Marks the symbols that libbrickctl exports; everything else stays hidden.
#ifndef BRICK_EXPORT_H
#define BRICK_EXPORT_H

#if defined(BRICKCTL_BUILDING)
#define BRICKCTL_API __attribute__((visibility("default")))
#else
#define BRICKCTL_API
#endif

#endif
